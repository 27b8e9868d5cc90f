#include "common/byte_cursor.h"

namespace zira {

void ByteCursor::Skip(std::size_t count) {
  position_ = (position_ > SIZE_MAX - count) ? SIZE_MAX : position_ + count;
}

std::uint8_t ByteCursor::ReadU8() {
  if (position_ >= data_.size()) return 0;
  return data_[position_++];
}

std::uint16_t ByteCursor::ReadU16() {
  std::uint16_t low = ReadU8();
  std::uint16_t high = ReadU8();
  return static_cast<std::uint16_t>(low | (high << 8));
}

std::uint32_t ByteCursor::ReadU32() {
  std::uint32_t value = 0;
  for (int shift = 0; shift < 32 && position_ < data_.size(); shift += 8) {
    value |= static_cast<std::uint32_t>(data_[position_++]) << shift;
  }
  return value;
}

std::uint8_t ByteCursor::U8At(std::size_t offset) const {
  return offset < data_.size() ? data_[offset] : 0;
}

std::uint16_t ByteCursor::U16At(std::size_t offset) const { return LoadU16(data_, offset); }
std::uint32_t ByteCursor::U32At(std::size_t offset) const { return LoadU32(data_, offset); }

std::uint16_t LoadU16(std::span<const std::uint8_t> data, std::size_t offset) {
  if (offset > data.size() || data.size() - offset < 2) return 0;
  return static_cast<std::uint16_t>(data[offset] | (data[offset + 1] << 8));
}

std::uint32_t LoadU32(std::span<const std::uint8_t> data, std::size_t offset) {
  if (offset > data.size() || data.size() - offset < 4) return 0;
  return static_cast<std::uint32_t>(data[offset]) | (static_cast<std::uint32_t>(data[offset + 1]) << 8) |
         (static_cast<std::uint32_t>(data[offset + 2]) << 16) |
         (static_cast<std::uint32_t>(data[offset + 3]) << 24);
}

}  // namespace zira
