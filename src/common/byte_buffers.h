#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

namespace zira {

class ByteBuffers;
class TaskRunner;

// Gives a buffer back to the ByteBuffers it came from; one that came from
// none is unmapped when it was mapped (a capacity), otherwise freed.
struct ByteBufferReturn {
  ByteBuffers* home = nullptr;
  std::size_t capacity = 0;
  void operator()(std::uint8_t* bytes) const;
};

// A byte buffer that goes back to its ByteBuffers when released.
using PooledBytes = std::unique_ptr<std::uint8_t[], ByteBufferReturn>;

// Large byte buffers kept from package to package, shared by threads. Fresh
// memory costs a page fault for every page on its first write, which on some
// systems costs as much as inflating into it; a buffer used again costs none.
// A miss gives held buffers back to the system, as many as need be, before
// it allocates, so the memory held and in use together never exceeds the
// most that was in use at once.
class ByteBuffers {
 public:
  // Requests below this go to the allocator as they are: its own free lists
  // serve them without new pages.
  static constexpr std::size_t kSmallest = 128u << 10;
  // New buffers from this size on have their pages made in parts of this
  // size by several threads: on one, the others would wait for it.
  static constexpr std::size_t kSpreadFrom = 16u << 20;
  static constexpr std::size_t kSpreadPart = 2u << 20;  // a large page

  ByteBuffers() = default;
  ~ByteBuffers();
  ByteBuffers(const ByteBuffers&) = delete;
  ByteBuffers& operator=(const ByteBuffers&) = delete;

  // At least size bytes, not zeroed; nullptr when the machine has no memory.
  // A large new buffer has its pages made by spread's threads, when given.
  PooledBytes Take(std::size_t size, TaskRunner* spread = nullptr);
  // Gives every held buffer back to the system now.
  void ReleaseHeld();
  // The bytes held for later requests, for tests.
  std::size_t HeldBytes() const;

 private:
  friend struct ByteBufferReturn;
  struct Held {
    std::uint8_t* bytes;
    std::size_t capacity;
  };
  static constexpr std::size_t kMostHeld = 32;
  // A held buffer serves a smaller request while it wastes no more than the
  // request's own size and this: a large one tied up by a small request
  // would make the next large request map memory anew.
  static constexpr std::size_t kMostSpare = 8u << 20;

  void Give(std::uint8_t* bytes, std::size_t capacity);

  mutable std::mutex mutex_;
  std::array<Held, kMostHeld + 1> held_{};  // the first heldCount_, sorted by capacity
  std::size_t heldCount_ = 0;
  std::size_t heldBytes_ = 0;
  std::size_t inUseBytes_ = 0;     // taken and not given back yet
  std::size_t mostInUseBytes_ = 0;  // the most that was in use at once
};

// A buffer of at least size bytes from buffers, or from the allocator when
// there is none.
PooledBytes TakeBytes(ByteBuffers* buffers, std::size_t size, TaskRunner* spread = nullptr);
// A buffer of size bytes, not zeroed, mapped from the system and given back
// to it when released, so that a large one gets large pages as the pool's
// buffers do; nullptr when the machine has no memory.
PooledBytes MapBytes(std::size_t size);

}  // namespace zira
