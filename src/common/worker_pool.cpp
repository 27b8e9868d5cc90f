#include "common/worker_pool.h"

#include <new>
#include <system_error>

namespace zira {

// A thread the machine will not start (a process or memory limit) is no
// failure: the batches run on the threads there are, down to the caller alone.
WorkerPool::WorkerPool(unsigned jobs) {
  try {
    threads_.reserve(jobs > 0 ? jobs - 1 : 0);
    for (unsigned i = 1; i < jobs; ++i) threads_.emplace_back([this] { WorkerLoop(); });
  } catch (const std::system_error&) {
  } catch (const std::bad_alloc&) {
  }
  requested_ = jobs;
}

WorkerPool::~WorkerPool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

void WorkerPool::WorkerLoop() {
  unsigned long long seen = 0;
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [&] { return stopping_ || batch_ != seen; });
    if (stopping_) return;
    seen = batch_;
    lock.unlock();
    Drain();
    lock.lock();
  }
}

void WorkerPool::Drain() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (next_ < count_) {
    const std::size_t index = next_++;
    const Task task = task_;
    void* const context = context_;
    lock.unlock();
    task(context, index);
    lock.lock();
    if (++finished_ == count_) done_.notify_all();
  }
}

void WorkerPool::ForEach(std::size_t count, Task task, void* context) {
  if (count == 0) return;
  if (threads_.empty() || count == 1) {
    for (std::size_t i = 0; i < count; ++i) task(context, i);
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    task_ = task;
    context_ = context;
    count_ = count;
    next_ = 0;
    finished_ = 0;
    ++batch_;
  }
  wake_.notify_all();
  Drain();
  std::unique_lock<std::mutex> lock(mutex_);
  done_.wait(lock, [&] { return finished_ == count_; });
  // A worker that wakes late must find nothing left to take.
  count_ = 0;
  next_ = 0;
  finished_ = 0;
}

namespace {

unsigned MachineJobs() {
  const unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : cores;
}

struct SharedPoolState {
  std::mutex mutex;
  unsigned jobs = 0;  // 0: the machine's cores
  std::unique_ptr<WorkerPool> pool;
};

SharedPoolState& SharedState() {
  static SharedPoolState state;
  return state;
}

}  // namespace

void SetWorkerJobs(unsigned jobs) {
  SharedPoolState& state = SharedState();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.jobs = jobs < kMostWorkerJobs ? jobs : kMostWorkerJobs;
}

unsigned WorkerJobs() {
  SharedPoolState& state = SharedState();
  std::lock_guard<std::mutex> lock(state.mutex);
  return state.jobs == 0 ? MachineJobs() : state.jobs;
}

WorkerPool& SharedWorkerPool() {
  SharedPoolState& state = SharedState();
  std::lock_guard<std::mutex> lock(state.mutex);
  const unsigned jobs = state.jobs == 0 ? MachineJobs() : state.jobs;
  if (!state.pool || state.pool->RequestedJobs() != jobs) {
    state.pool.reset();
    state.pool = std::make_unique<WorkerPool>(jobs);
  }
  return *state.pool;
}

}  // namespace zira
