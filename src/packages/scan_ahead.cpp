#include "packages/scan_ahead.h"

#include <algorithm>
#include <new>
#include <exception>
#include <utility>

#include "common/machine_refusal.h"
#include "common/platform.h"
#include "common/worker_pool.h"
#include "packages/obg_scanner.h"
#include "packages/s3d_scanner.h"

namespace zira {

namespace {

std::string KeyOf(std::string_view name, PackageType type, bool perRaceRules) {
  std::string key(name);
  key.push_back('\0');
  key.push_back(static_cast<char>('0' + static_cast<int>(type)));
  key.push_back(perRaceRules ? 'r' : '-');
  return key;
}

}  // namespace

struct ScanAhead::Slot {
  PlannedScan plan;
  std::uint64_t claim = 0;  // the order in which scans began
  State state = State::kWaiting;
  // Written by the thread that runs the scan, read by the one that takes it
  // once the state says done (both under the mutex).
  Result result = kSuccess;
  ScannedPackage found;
  MachineRefusals refusals;
  bool outOfMemory = false;
  std::uint64_t reserved = 0;
  std::uint64_t fileReserved = 0;  // of reserved, the package file's
  std::uint64_t released = 0;      // given back before the scan ended
};

ScanAhead::ScanAhead(WorkerPool& pool, const ClientImage& client, std::uint64_t budget)
    : pool_(pool), client_(client), budget_(budget), decompressors_(pool.RequestedJobs()) {}

ScanAhead::~ScanAhead() {
  Stop();
  if (releaser_.joinable()) releaser_.join();
}

void ScanAhead::Plan(std::vector<PlannedScan> scans) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (PlannedScan& scan : scans) {
      std::string key = KeyOf(scan.name, scan.type, scan.perRaceRules);
      if (byKey_.count(key) != 0) continue;
      auto slot = std::make_unique<Slot>();
      slot->plan = std::move(scan);
      byKey_.emplace(std::move(key), slots_.size());
      slots_.push_back(std::move(slot));
    }
  }
  changed_.notify_all();
  if (!running_ && pool_.Jobs() > 1) {
    if (releaser_.joinable()) releaser_.join();
    running_ = true;
    pool_.StartInBackground(pool_.Jobs() - 1, WorkerTask, this);
  }
}

void ScanAhead::WorkerTask(void* self, std::size_t, unsigned worker) {
  static_cast<ScanAhead*>(self)->WorkerLoop(worker);
}

void ScanAhead::WorkerLoop(unsigned worker) {
  std::unique_lock<std::mutex> lock(mutex_);
  try {
    while (!stopping_) {
      if (Slot* slot = ClaimNext(lock, false)) {
        Run(*slot, lock, worker);
      } else {
        WaitHelping(lock, worker);
      }
    }
  } catch (const std::bad_alloc&) {
    // Without memory to begin a scan this worker stops; what it left waiting
    // the registering thread scans itself.
  }
}

ScanAhead::Slot* ScanAhead::ClaimNext(std::unique_lock<std::mutex>&, bool onlyIfAdmitted) {
  while (next_ < slots_.size() && slots_[next_]->state != State::kWaiting) ++next_;
  if (next_ == slots_.size()) return nullptr;
  Slot& slot = *slots_[next_];
  if (onlyIfAdmitted && !inFlight_.empty() && BytesBesideFirst() + slot.plan.fileBytes > budget_) return nullptr;
  Begin(slot);
  ++next_;
  return &slot;
}

// May throw std::bad_alloc, and then the slot is still waiting.
void ScanAhead::Begin(Slot& slot) {
  inFlight_.emplace(claims_, &slot);
  slot.claim = claims_++;
  begunBytes_ += slot.plan.fileBytes;
  slot.state = State::kRunning;
}

std::uint64_t ScanAhead::BytesBesideFirst() const {
  return inFlight_.empty() ? 0 : bytesInFlight_ - inFlight_.begin()->second->reserved;
}

// The scan begun first goes on regardless, and the budget bounds the bytes
// of the others: one begun later never counts as older than a scan already
// holding bytes, so in flight there are at most the budget and one package.
// The scan next in line may also take what the first gave back, which the
// first never takes again: it gives back only after its last reservation.
// In flight there are then at most the budget and the first's most; the
// others were admitted beside the borrower within the budget, so once it is
// first in turn they are within the budget again. Without the loan a package
// larger than the budget could not even be read while the one before it is
// parsed.
bool ScanAhead::Admits(const Slot& slot, std::uint64_t bytes) const {
  const auto first = inFlight_.begin();
  if (first->second == &slot) return true;
  std::uint64_t room = budget_;
  if (std::next(first) != inFlight_.end() && std::next(first)->second == &slot) room += first->second->released;
  return BytesBesideFirst() + bytes <= room;
}

void ScanAhead::Reserve(Slot& slot, std::uint64_t bytes, unsigned worker, bool last) {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!Admits(slot, bytes)) WaitHelping(lock, worker);
  bytesInFlight_ += bytes;
  slot.reserved += bytes;
  if (!last) slot.fileReserved += bytes;
  peak_ = std::max(peak_, bytesInFlight_);
}

void ScanAhead::ReleaseFile(Slot& slot) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    bytesInFlight_ -= slot.fileReserved;
    slot.reserved -= slot.fileReserved;
    slot.released += slot.fileReserved;
    slot.fileReserved = 0;
  }
  changed_.notify_all();
}

// Asks the system to fetch the package files planned next, up to a few
// packages' worth beyond those begun, so a cold disk reads while the threads
// inflate.
void ScanAhead::AdviseAhead(std::unique_lock<std::mutex>& lock) {
  std::vector<std::string> paths;
  while (advised_ < slots_.size() && advisedBytes_ < begunBytes_ + kAdviseAheadBytes) {
    paths.push_back(slots_[advised_]->plan.realPath);
    advisedBytes_ += slots_[advised_]->plan.fileBytes;
    ++advised_;
  }
  if (paths.empty()) return;
  lock.unlock();
  for (const std::string& path : paths) AdviseWillRead(path);
  lock.lock();
}

// Runs a claimed slot's scan without the lock; returns with it held again.
void ScanAhead::Run(Slot& slot, std::unique_lock<std::mutex>& lock, unsigned worker) {
  AdviseAhead(lock);
  lock.unlock();
  Reserve(slot, slot.plan.fileBytes, worker, false);
  try {
    HelpedRunner runner(*this, worker);
    const PackageInput input{slot.plan.name.c_str(),
                             slot.plan.realPath,
                             slot.refusals,
                             &runner,
                             [this, &slot, worker](std::uint64_t bytes) { Reserve(slot, bytes, worker, true); },
                             [this, &slot] { ReleaseFile(slot); },
                             &decompressors_,
                             &buffers_};
    slot.result = slot.plan.type == PackageType::kObg
                      ? ScanObgPackage(input, client_, &slot.found)
                      : ScanS3dPackage(input, client_, slot.plan.perRaceRules, &slot.found);
  } catch (const std::bad_alloc&) {
    slot.outOfMemory = true;
    slot.found = ScannedPackage();
  }
  lock.lock();
  bytesInFlight_ -= slot.reserved;
  slot.reserved = 0;
  slot.fileReserved = 0;
  inFlight_.erase(slot.claim);
  slot.state = State::kDone;
  changed_.notify_all();
}

std::optional<Result> ScanAhead::Take(std::string_view name, PackageType type, bool perRaceRules,
                                      ScannedPackage* found) {
  if (!running_ || found == nullptr) return std::nullopt;
  const std::string key = KeyOf(name, type, perRaceRules);
  std::unique_lock<std::mutex> lock(mutex_);
  const auto planned = byKey_.find(key);
  if (planned == byKey_.end()) return std::nullopt;
  Slot& slot = *slots_[planned->second];
  byKey_.erase(planned);
  for (;;) {
    if (slot.state == State::kDone) break;
    if (slot.state == State::kWaiting) {
      Begin(slot);
      Run(slot, lock, 0);
      continue;
    }
    // A worker has it: meanwhile this thread scans the next one, when it fits.
    if (Slot* other = ClaimNext(lock, true)) {
      Run(*other, lock, 0);
      continue;
    }
    WaitHelping(lock, 0);
  }
  slot.state = State::kTaken;
  lock.unlock();
  // The machine may have refused memory or files only because scans ran
  // side by side: such a scan is done again by the caller, alone.
  if (slot.outOfMemory || slot.refusals.Any()) return std::nullopt;
  *found = std::move(slot.found);
  slot.found = ScannedPackage();
  return slot.result;
}

bool ScanAhead::HelpOne(std::unique_lock<std::mutex>& lock, unsigned worker) {
  for (Help* help : helps_) {
    if (help->next == help->count) continue;
    const std::size_t index = help->next++;
    lock.unlock();
    help->task(help->context, index, worker);
    lock.lock();
    if (++help->finished == help->count) changed_.notify_all();
    return true;
  }
  return false;
}

void ScanAhead::WaitHelping(std::unique_lock<std::mutex>& lock, unsigned worker) {
  if (!HelpOne(lock, worker)) changed_.wait(lock);
}

void ScanAhead::ForEachHelped(std::size_t count, TaskRunner::Task task, void* context, unsigned worker) {
  // A short batch costs less done alone than handed round.
  if (count < kHelpedBatch) {
    for (std::size_t i = 0; i < count; ++i) task(context, i, worker);
    return;
  }
  Help help{task, context, count};
  std::unique_lock<std::mutex> lock(mutex_);
  helps_.push_back(&help);
  changed_.notify_all();
  while (help.finished < help.count) {
    if (help.next < help.count) {
      const std::size_t index = help.next++;
      lock.unlock();
      task(context, index, worker);
      lock.lock();
      ++help.finished;
    } else {
      WaitHelping(lock, worker);
    }
  }
  helps_.erase(std::find(helps_.begin(), helps_.end(), &help));
}

unsigned ScanAhead::HelpedRunner::Workers() { return ahead_.pool_.Jobs(); }

void ScanAhead::HelpedRunner::ForEach(std::size_t count, Task task, void* context) {
  ahead_.ForEachHelped(count, task, context, worker_);
}

void ScanAhead::Stop() {
  if (!running_) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  pool_.FinishInBackground();
  running_ = false;
  stopping_ = false;
  slots_.clear();
  byKey_.clear();
  next_ = 0;
  advised_ = 0;
  advisedBytes_ = 0;
  begunBytes_ = 0;
  // Unmapping the held buffers takes milliseconds that what follows the
  // scans need not wait for: a thread of its own does it meanwhile.
  if (releaser_.joinable()) return;
  try {
    releaser_ = std::thread([this] { buffers_.ReleaseHeld(); });
  } catch (const std::exception&) {  // no thread to be had (system_error) or no memory for it
    buffers_.ReleaseHeld();
  }
}

}  // namespace zira
