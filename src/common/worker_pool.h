#pragma once
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace zira {

// A fixed set of threads, started once and reused for every batch: a batch of
// n independent tasks runs on the workers and on the calling thread, and
// ForEach returns when all n are done.
class WorkerPool {
 public:
  // jobs counts the calling thread too, so jobs 1 starts no thread at all.
  explicit WorkerPool(unsigned jobs);
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // The threads that run batches, the caller included: fewer than asked for
  // when the machine refused to start some.
  unsigned Jobs() const { return static_cast<unsigned>(threads_.size()) + 1; }
  unsigned RequestedJobs() const { return requested_; }

  // Calls task(context, i) once for every i below count, in no set order.
  // The tasks must not touch each other's data; one batch runs at a time.
  using Task = void (*)(void* context, std::size_t index);
  void ForEach(std::size_t count, Task task, void* context);

 private:
  void WorkerLoop();
  // Takes indices of the current batch until none is left.
  void Drain();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  std::vector<std::thread> threads_;
  // The current batch; written under the mutex before the workers are woken.
  Task task_ = nullptr;
  void* context_ = nullptr;
  std::size_t count_ = 0;
  std::size_t next_ = 0;      // next index to hand out
  std::size_t finished_ = 0;  // indices completed
  unsigned long long batch_ = 0;
  bool stopping_ = false;
  unsigned requested_ = 1;
};

// More threads than this only cost memory: the work is bounded by the cores.
inline constexpr unsigned kMostWorkerJobs = 256;

// The number of jobs for work that can run in parallel: the machine's cores
// unless set (0 means the machine's cores again; more than kMostWorkerJobs
// counts as kMostWorkerJobs).
void SetWorkerJobs(unsigned jobs);
unsigned WorkerJobs();
// The process-wide pool of WorkerJobs() jobs, started on first use and
// restarted only when the number changes.
WorkerPool& SharedWorkerPool();

}  // namespace zira
