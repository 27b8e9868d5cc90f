#include "common/byte_buffers.h"

#include <algorithm>
#include <new>

#include "common/platform.h"
#include "common/worker_pool.h"

namespace zira {

static_assert(ByteBuffers::kSpreadPart == kLargePageBytes, "a part is one large page");

namespace {

// Capacities step in eighths of a power of two, so that sizes close to each
// other share buffers while at most an eighth is wasted.
std::size_t RoundedCapacity(std::size_t size) {
  std::size_t step = ByteBuffers::kSmallest / 8;
  while (step * 16 <= size && step <= (SIZE_MAX >> 5)) step *= 2;
  return size > SIZE_MAX - step ? size : (size + step - 1) / step * step;
}

}  // namespace

void ByteBufferReturn::operator()(std::uint8_t* bytes) const {
  if (bytes == nullptr) return;
  if (home != nullptr) {
    home->Give(bytes, capacity);
  } else if (capacity != 0) {
    UnmapMemory(bytes, capacity);
  } else {
    delete[] bytes;
  }
}

ByteBuffers::~ByteBuffers() { ReleaseHeld(); }

PooledBytes ByteBuffers::Take(std::size_t size, TaskRunner* spread) {
  if (size < kSmallest) return PooledBytes(new (std::nothrow) std::uint8_t[size]);
  const std::size_t capacity = RoundedCapacity(size);
  std::array<Held, kMostHeld + 1> released;
  std::size_t releasedCount = 0;
  {
    const std::lock_guard lock(mutex_);
    Held* const held = held_.data();
    Held* const fit = std::lower_bound(held, held + heldCount_, size,
                                       [](const Held& one, std::size_t wanted) { return one.capacity < wanted; });
    // The smallest that fits, unless it would waste too much.
    if (fit != held + heldCount_ && fit->capacity - size <= size + kMostSpare) {
      const Held found = *fit;
      std::copy(fit + 1, held + heldCount_, fit);
      --heldCount_;
      heldBytes_ -= found.capacity;
      inUseBytes_ += found.capacity;
      return PooledBytes(found.bytes, ByteBufferReturn{this, found.capacity});
    }
    // None fits: held buffers go back to the system, the smallest first,
    // until what is held and in use with the new one is no more than the
    // most in use yet. The large ones cost the most to make again, and
    // while little is in use there is room to keep them.
    const std::size_t inUse = inUseBytes_ + capacity;
    mostInUseBytes_ = std::max(mostInUseBytes_, inUse);
    std::size_t first = 0;
    while (first < heldCount_ && heldBytes_ > mostInUseBytes_ - inUse) {
      released[releasedCount++] = held_[first];
      heldBytes_ -= held_[first].capacity;
      ++first;
    }
    std::copy(held + first, held + heldCount_, held);
    heldCount_ -= first;
    inUseBytes_ = inUse;
  }
  for (std::size_t i = 0; i < releasedCount; ++i) UnmapMemory(released[i].bytes, released[i].capacity);
  // Mapped, not allocated: given back, it leaves nothing behind in the
  // allocator's heaps, so what is held and in use is what the run holds.
  const bool spreading = spread != nullptr && capacity >= kSpreadFrom && spread->Workers() > 1;
  std::uint8_t* bytes = MapMemory(capacity, !spreading);
  if (bytes == nullptr) {
    const std::lock_guard lock(mutex_);
    inUseBytes_ -= capacity;
    return PooledBytes();
  }
  if (spreading) {
    struct Parts {
      std::uint8_t* bytes;
      std::size_t capacity;
    } parts{bytes, capacity};
    spread->ForEach((capacity + kSpreadPart - 1) / kSpreadPart, [](void* context, std::size_t index, unsigned) {
      const Parts& of = *static_cast<const Parts*>(context);
      const std::size_t at = index * kSpreadPart;
      PopulateMemory(of.bytes + at, std::min(kSpreadPart, of.capacity - at));
    }, &parts);
  }
  return PooledBytes(bytes, ByteBufferReturn{this, capacity});
}

void ByteBuffers::Give(std::uint8_t* bytes, std::size_t capacity) {
  Held dropped{nullptr, 0};
  {
    const std::lock_guard lock(mutex_);
    Held* const held = held_.data();
    Held* const at = std::lower_bound(held, held + heldCount_, capacity,
                                      [](const Held& one, std::size_t wanted) { return one.capacity < wanted; });
    std::copy_backward(at, held + heldCount_, held + heldCount_ + 1);
    *at = Held{bytes, capacity};
    ++heldCount_;
    heldBytes_ += capacity;
    inUseBytes_ -= capacity;
    // Past the count, the smallest goes: a small request is cheap to serve anew.
    if (heldCount_ > kMostHeld) {
      dropped = held_[0];
      std::copy(held + 1, held + heldCount_, held);
      --heldCount_;
      heldBytes_ -= dropped.capacity;
    }
  }
  UnmapMemory(dropped.bytes, dropped.capacity);
}

void ByteBuffers::ReleaseHeld() {
  std::array<Held, kMostHeld + 1> released;
  std::size_t releasedCount = 0;
  {
    const std::lock_guard lock(mutex_);
    released = held_;
    releasedCount = heldCount_;
    heldCount_ = 0;
    heldBytes_ = 0;
  }
  for (std::size_t i = 0; i < releasedCount; ++i) UnmapMemory(released[i].bytes, released[i].capacity);
}

std::size_t ByteBuffers::HeldBytes() const {
  const std::lock_guard lock(mutex_);
  return heldBytes_;
}

PooledBytes TakeBytes(ByteBuffers* buffers, std::size_t size, TaskRunner* spread) {
  if (buffers != nullptr) return buffers->Take(size, spread);
  return PooledBytes(new (std::nothrow) std::uint8_t[size]);
}

PooledBytes MapBytes(std::size_t size) {
  const std::size_t capacity = std::max<std::size_t>(size, 1);
  std::uint8_t* const bytes = MapMemory(capacity);
  return bytes != nullptr ? PooledBytes(bytes, ByteBufferReturn{nullptr, capacity}) : PooledBytes();
}

}  // namespace zira
