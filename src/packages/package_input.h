#pragma once
#include <cstdint>
#include <functional>
#include <string>

namespace zira {

class MachineRefusals;
class ByteBuffers;
class Decompressors;
class TaskRunner;

// The kind of package a file name ends with, letters folded.
enum class PackageType : std::uint8_t { kOther, kObg, kS3d };

// Where a scanner reads one package from, so that the scan can run on any
// thread: the client folder is asked for the real path beforehand, on the
// thread that owns it.
struct PackageInput {
  const char* name;  // as the run names it, in refusals too
  const std::string& realPath;
  MachineRefusals& refusals;
  // The threads that inflate a long entry's blocks; none on a thread that is
  // itself one of the pool's.
  TaskRunner* pool = nullptr;
  // Told the bytes a world file inflates to before they are allocated; it
  // may hold the scan until they fit the memory the scans ahead may take.
  std::function<void(std::uint64_t)> reserve;
  // Told when the package file's own bytes are given back; the scan reserves
  // nothing after it.
  std::function<void()> release = nullptr;
  // Decompressors kept from package to package, one per worker; none: the
  // package's archive makes its own.
  Decompressors* decompressors = nullptr;
  // Buffers kept from package to package; none: fresh ones each time.
  ByteBuffers* buffers = nullptr;
};

}  // namespace zira
