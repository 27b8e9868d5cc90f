#include "common/worker_pool.h"

#include <new>
#include <system_error>

namespace zira {

// A thread the machine will not start (a process or memory limit) is no
// failure: the batches run on the threads there are, down to the caller alone.
void WorkerPool::Start() {
  if (started_) return;
  started_ = true;
  try {
    threads_.reserve(requested_ > 0 ? requested_ - 1 : 0);
    for (unsigned i = 1; i < requested_; ++i) threads_.emplace_back([this, i] { WorkerLoop(i); });
  } catch (const std::system_error&) {
  } catch (const std::bad_alloc&) {
  }
}

WorkerPool::~WorkerPool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

void WorkerPool::WorkerLoop(unsigned worker) {
  unsigned long long seen = 0;
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [&] { return stopping_ || batch_ != seen; });
    if (stopping_) return;
    seen = batch_;
    lock.unlock();
    Drain(worker);
    lock.lock();
  }
}

void WorkerPool::Drain(unsigned worker) {
  std::unique_lock<std::mutex> lock(mutex_);
  while (next_ < count_) {
    const std::size_t index = next_++;
    const Task task = task_;
    void* const context = context_;
    lock.unlock();
    task(context, index, worker);
    lock.lock();
    if (++finished_ == count_) done_.notify_all();
  }
}

void WorkerPool::ForEach(std::size_t count, Task task, void* context) {
  if (count == 0) return;
  if (count > 1) Start();
  if (threads_.empty() || count == 1) {
    for (std::size_t i = 0; i < count; ++i) task(context, i, 0);
    return;
  }
  StartInBackground(count, task, context);
  FinishInBackground();
}

void WorkerPool::StartInBackground(std::size_t count, Task task, void* context) {
  Start();
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
}

void WorkerPool::FinishInBackground() {
  Drain(0);
  std::unique_lock<std::mutex> lock(mutex_);
  done_.wait(lock, [&] { return finished_ == count_; });
  // A worker that wakes late must find nothing left to take.
  count_ = 0;
  next_ = 0;
  finished_ = 0;
}

unsigned WorkerJobsFor(unsigned asked) {
  if (asked == 0) {
    const unsigned cores = std::thread::hardware_concurrency();
    asked = cores == 0 ? 1 : cores;
  }
  return asked < kMostWorkerJobs ? asked : kMostWorkerJobs;
}

}  // namespace zira
