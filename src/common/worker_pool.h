#pragma once
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>
#include <vector>

namespace zira {

// Runs a batch of n independent tasks on the threads at hand and returns when
// all n are done: task(context, i, worker) once for every i below count, in
// no set order, where worker numbers the thread (below Workers()), so a task
// may keep scratch of its own per worker. The tasks must not touch each
// other's data.
class TaskRunner {
 public:
  using Task = void (*)(void* context, std::size_t index, unsigned worker);
  virtual unsigned Workers() = 0;
  virtual void ForEach(std::size_t count, Task task, void* context) = 0;
  // The worker number of the thread that calls ForEach, for work it does
  // outside a batch with the same per-worker scratch.
  virtual unsigned CallerWorker() const { return 0; }

 protected:
  ~TaskRunner() = default;
};

// A fixed set of threads, started once and reused for every batch: a batch of
// n independent tasks runs on the workers and on the calling thread (worker
// 0), and ForEach returns when all n are done.
class WorkerPool : public TaskRunner {
 public:
  // jobs counts the calling thread too, so jobs 1 starts no thread at all.
  // The threads start with the first batch, so a run that never needs them
  // never holds them.
  explicit WorkerPool(unsigned jobs) : requested_(jobs) {}
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // The threads that run batches, the caller included (started now if they
  // were not): fewer than asked for when the machine refused to start some.
  unsigned Jobs() {
    Start();
    return static_cast<unsigned>(threads_.size()) + 1;
  }
  unsigned RequestedJobs() const { return requested_; }

  unsigned Workers() override { return Jobs(); }
  // One batch runs at a time.
  void ForEach(std::size_t count, Task task, void* context) override;

  // The same batch, begun on the workers alone: the caller goes on with work
  // of its own and ends the batch with FinishInBackground, which runs what no
  // worker took and waits for the rest. No other batch runs in between.
  void StartInBackground(std::size_t count, Task task, void* context);
  void FinishInBackground();

 private:
  void Start();
  void WorkerLoop(unsigned worker);
  // Takes indices of the current batch until none is left.
  void Drain(unsigned worker);

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
  bool started_ = false;
  unsigned requested_ = 1;
};

// More threads than this only cost memory: the work is bounded by the cores.
inline constexpr unsigned kMostWorkerJobs = 256;

// The number of jobs for work that can run in parallel when asked for asked:
// the machine's cores for 0; more than kMostWorkerJobs counts as kMostWorkerJobs.
unsigned WorkerJobsFor(unsigned asked);

}  // namespace zira
