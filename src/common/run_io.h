#pragma once

namespace zira {

class ClientFolder;
class ScanAhead;
class SessionLog;
class WorkerPool;
struct RunStats;

// The parts of one run that the layers below app work through: the client
// folder every input name is taken from, the log, what was read, and the
// threads for work that can run in parallel. The run owns them; this only
// refers to them.
struct RunIo {
  ClientFolder& files;
  SessionLog& log;
  RunStats& stats;
  WorkerPool& pool;
  // Packages scanned ahead on the pool while discovery runs, or none: the
  // pool then belongs to those scans alone.
  ScanAhead* scans = nullptr;
};

}  // namespace zira
