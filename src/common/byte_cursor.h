#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

namespace zira {

// A read position over a byte span. Every read is bounds-checked: what lies
// past the end reads as zero, so malformed files can never be read out of range.
class ByteCursor {
 public:
  ByteCursor() = default;
  explicit ByteCursor(std::span<const std::uint8_t> data, std::size_t position = 0)
      : data_(data), position_(position) {}

  std::size_t Position() const { return position_; }
  std::size_t Size() const { return data_.size(); }
  std::size_t Remaining() const { return position_ < data_.size() ? data_.size() - position_ : 0; }
  bool AtEnd() const { return position_ >= data_.size(); }
  std::span<const std::uint8_t> Data() const { return data_; }

  // Any position may be set; reads from beyond the end yield zero.
  void Seek(std::size_t position) { position_ = position; }
  // Moves forward, saturating instead of wrapping.
  void Skip(std::size_t count);

  std::uint8_t ReadU8();
  std::uint16_t ReadU16();
  // With fewer than four bytes left, the remaining bytes are taken as the low
  // bytes of the value and the position moves to the end.
  std::uint32_t ReadU32();
  std::int32_t ReadI32() { return static_cast<std::int32_t>(ReadU32()); }

  // Reads at an absolute offset without moving; zero unless wholly inside.
  std::uint8_t U8At(std::size_t offset) const;
  std::uint16_t U16At(std::size_t offset) const;
  std::uint32_t U32At(std::size_t offset) const;
  std::int32_t I32At(std::size_t offset) const { return static_cast<std::int32_t>(U32At(offset)); }

  // True when [offset, offset + count) lies inside the span.
  bool Contains(std::size_t offset, std::size_t count) const {
    return offset <= data_.size() && count <= data_.size() - offset;
  }

 private:
  std::span<const std::uint8_t> data_;
  std::size_t position_ = 0;
};

// Little-endian reads of a span at an offset; zero unless the field lies wholly inside.
std::uint16_t LoadU16(std::span<const std::uint8_t> data, std::size_t offset);
std::uint32_t LoadU32(std::span<const std::uint8_t> data, std::size_t offset);

}  // namespace zira
