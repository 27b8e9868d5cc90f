#pragma once
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <map>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "client/client_image.h"
#include "common/byte_buffers.h"
#include "common/result.h"
#include "common/worker_pool.h"
#include "packages/block_inflater.h"
#include "packages/found_models.h"
#include "packages/package_input.h"

namespace zira {


// A package that discovery is expected to scan, in the order it will ask.
struct PlannedScan {
  std::string name;      // the source's name, as discovery will ask for it
  std::string realPath;  // resolved by the planning thread
  PackageType type = PackageType::kOther;
  bool perRaceRules = false;
  std::uint64_t fileBytes = 0;
};

// The package bytes (files read, world files inflated) that scans may hold
// beside the one begun first: with the run's own tables this stays within the
// largest package, its world file and 64 MiB.
inline constexpr std::uint64_t kScanAheadBudget = 24ull << 20;

// Scans packages ahead of discovery on the pool's workers, in the planned
// order, while discovery registers what earlier scans found: the whole
// reading, inflating and scanning of a package leaves the registering thread.
// The plan is a forecast only: discovery takes a scan by its name and scans
// anything unplanned itself, so what it registers and in which order never
// depends on the plan. The scan begun first always goes on; the others are
// admitted while their bytes fit the budget, so a large package does not
// stop the smaller ones beside it, but two large ones never overlap.
class ScanAhead {
 public:
  ScanAhead(WorkerPool& pool, const ClientImage& client, std::uint64_t budget = kScanAheadBudget);
  ~ScanAhead();
  ScanAhead(const ScanAhead&) = delete;
  ScanAhead& operator=(const ScanAhead&) = delete;

  // Adds to the plan; the first call starts the workers.
  void Plan(std::vector<PlannedScan> scans);
  // The planned scan of name as a scan on this thread would have given it:
  // its result and what it found. Waits for it, or runs it here when no
  // worker has begun it. nullopt when it was not planned so (or was taken
  // already), or when the machine refused it memory or files: the caller
  // then scans it itself.
  std::optional<Result> Take(std::string_view name, PackageType type, bool perRaceRules, ScannedPackage* found);
  // Ends the workers' batch; planned scans not taken are dropped. After it,
  // the pool is free for other batches.
  void Stop();
  bool Running() const { return running_; }

  // One decompressor per worker, kept for the whole run: worker 0 is the
  // registering thread, which may use it for scans of its own.
  Decompressors& SharedDecompressors() { return decompressors_; }
  // The package and world file buffers that every scan of the run reuses.
  ByteBuffers& SharedBuffers() { return buffers_; }

  // The most bytes that were in flight at once, for tests.
  std::uint64_t PeakBytes() const { return peak_; }

 private:
  enum class State : std::uint8_t { kWaiting, kRunning, kDone, kTaken };
  struct Slot;
  // A batch of a long entry's blocks that every waiting thread helps with.
  struct Help {
    TaskRunner::Task task;
    void* context;
    std::size_t count;
    std::size_t next = 0;
    std::size_t finished = 0;
  };
  // The pool as one scan's archive sees it: batches handed to the threads
  // that wait, the scan's own thread among them.
  class HelpedRunner : public TaskRunner {
   public:
    HelpedRunner(ScanAhead& ahead, unsigned worker) : ahead_(ahead), worker_(worker) {}
    unsigned Workers() override;
    void ForEach(std::size_t count, Task task, void* context) override;
    unsigned CallerWorker() const override { return worker_; }

   private:
    ScanAhead& ahead_;
    unsigned worker_;
  };
  // Blocks in a batch below which the scan's thread inflates them alone.
  static constexpr std::size_t kHelpedBatch = 16;

  static void WorkerTask(void* self, std::size_t index, unsigned worker);
  void WorkerLoop(unsigned worker);
  // Claims the next waiting slot from next_ on; nullptr when none.
  Slot* ClaimNext(std::unique_lock<std::mutex>& lock, bool onlyIfAdmitted);
  void Begin(Slot& slot);
  void AdviseAhead(std::unique_lock<std::mutex>& lock);
  void Run(Slot& slot, std::unique_lock<std::mutex>& lock, unsigned worker);
  // last: the scan's last reservation, after which it only gives bytes back.
  void Reserve(Slot& slot, std::uint64_t bytes, unsigned worker, bool last);
  // Gives back the bytes of the slot's package file.
  void ReleaseFile(Slot& slot);
  // Runs one task of an open batch; false when there is none.
  bool HelpOne(std::unique_lock<std::mutex>& lock, unsigned worker);
  // Helps with a batch, or else waits for a change.
  void WaitHelping(std::unique_lock<std::mutex>& lock, unsigned worker);
  void ForEachHelped(std::size_t count, TaskRunner::Task task, void* context, unsigned worker);
  std::uint64_t BytesBesideFirst() const;
  bool Admits(const Slot& slot, std::uint64_t bytes) const;

  WorkerPool& pool_;
  const ClientImage& client_;
  const std::uint64_t budget_;
  ByteBuffers buffers_;  // before anything that may hold one of its buffers
  Decompressors decompressors_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::unique_ptr<Slot>> slots_;
  std::unordered_map<std::string, std::size_t> byKey_;
  std::vector<Help*> helps_;
  std::size_t next_ = 0;
  std::map<std::uint64_t, Slot*> inFlight_;  // the scans in flight by claim
  std::uint64_t claims_ = 0;
  // Package files the system was asked to fetch ahead: the slots before
  // advised_, their bytes, and the bytes of the slots begun.
  static constexpr std::uint64_t kAdviseAheadBytes = 32ull << 20;
  std::size_t advised_ = 0;
  std::uint64_t advisedBytes_ = 0;
  std::uint64_t begunBytes_ = 0;
  std::uint64_t bytesInFlight_ = 0;
  std::uint64_t peak_ = 0;
  bool running_ = false;
  bool stopping_ = false;
  std::thread releaser_;  // gives the held buffers back after Stop
};

}  // namespace zira
