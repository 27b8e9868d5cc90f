#pragma once
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace zira {

// The one way binary formats are read: a view over bytes with a position and
// a sticky error. Every little-endian read that does not fit wholly yields 0,
// leaves the position and sets the error; once set, every later read of this
// cursor yields 0 or an empty view too. So a record's run of fields is read
// and then checked once with Ok(), and a half-read record never looks whole.
// All reads are inline: the package and world-file readers run them per field.
class ByteCursor {
 public:
  ByteCursor() = default;
  explicit ByteCursor(std::span<const std::uint8_t> data) : data_(data) {}

  bool Ok() const { return ok_; }
  std::size_t Position() const { return position_; }
  std::size_t Remaining() const { return ok_ ? data_.size() - position_ : 0; }

  std::uint16_t ReadU16() { return static_cast<std::uint16_t>(Read(2)); }
  std::uint32_t ReadU32() { return Read(4); }
  std::int32_t ReadI32() { return static_cast<std::int32_t>(Read(4)); }

  // The package archive's own u32 read: with only 1 to 3 bytes left those
  // bytes are the value's low bytes and the position moves to the end. With
  // nothing left it is an ordinary read past the end.
  std::uint32_t ReadU32LowBytes() {
    const std::size_t left = Remaining();
    if (left == 0 || left >= 4) return Read(4);
    const std::uint32_t value = Load(position_, left);
    position_ = data_.size();
    return value;
  }

  // The next count bytes as a view (empty past the end).
  std::span<const std::uint8_t> ReadBytes(std::size_t count) {
    if (!Fits(count)) return {};
    position_ += count;
    return data_.subspan(position_ - count, count);
  }
  void Skip(std::size_t count) {
    if (Fits(count)) position_ += count;
  }
  // Moves forward to a field's offset; an offset behind the position is an error too.
  void SkipTo(std::size_t offset) { Skip(offset >= position_ ? offset - position_ : SIZE_MAX); }
  // A cursor over the next count bytes (a record's body); this one moves past them.
  ByteCursor Take(std::size_t count) {
    const std::span<const std::uint8_t> bytes = ReadBytes(count);
    return Over(bytes, ok_);
  }
  // A cursor over [offset, offset + size) of the whole view, or over the rest
  // from offset; a failed cursor when that range is not wholly inside.
  ByteCursor Sub(std::size_t offset, std::size_t size) const {
    const bool inside = Contains(offset, size);
    return Over(inside ? data_.subspan(offset, size) : std::span<const std::uint8_t>(), inside);
  }
  ByteCursor Sub(std::size_t offset) const {
    return Sub(offset, offset <= data_.size() ? data_.size() - offset : SIZE_MAX);
  }

  // True when [offset, offset + count) of the whole view can be read.
  bool Contains(std::size_t offset, std::size_t count) const {
    return ok_ && offset <= data_.size() && count <= data_.size() - offset;
  }
  // Reads at an offset of the whole view without moving: 0 unless wholly inside.
  std::uint8_t U8At(std::size_t offset) const { return Contains(offset, 1) ? data_[offset] : 0; }
  std::uint16_t U16At(std::size_t offset) const {
    return Contains(offset, 2) ? static_cast<std::uint16_t>(Load(offset, 2)) : 0;
  }
  std::uint32_t U32At(std::size_t offset) const { return Contains(offset, 4) ? Load(offset, 4) : 0; }

 private:
  static ByteCursor Over(std::span<const std::uint8_t> data, bool ok) {
    ByteCursor cursor(data);
    cursor.ok_ = ok;
    return cursor;
  }
  // True when count more bytes can be read; otherwise the error is set.
  bool Fits(std::size_t count) {
    ok_ = ok_ && count <= data_.size() - position_;
    return ok_;
  }
  std::uint32_t Read(std::size_t count) {
    if (!Fits(count)) return 0;
    position_ += count;
    return Load(position_ - count, count);
  }
  // Little-endian value of count (at most 4) bytes at offset, already checked.
  // A whole u32 or u16, the common cases, is one load rather than a byte loop.
  std::uint32_t Load(std::size_t offset, std::size_t count) const {
    if (count == 4) {
      std::uint32_t word;
      std::memcpy(&word, data_.data() + offset, sizeof(word));
      if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap32(word);
      return word;
    }
    if (count == 2) {
      std::uint16_t half;
      std::memcpy(&half, data_.data() + offset, sizeof(half));
      if constexpr (std::endian::native == std::endian::big) half = __builtin_bswap16(half);
      return half;
    }
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < count; ++i) value |= std::uint32_t{data_[offset + i]} << (8 * i);
    return value;
  }

  std::span<const std::uint8_t> data_;
  std::size_t position_ = 0;
  bool ok_ = true;
};

}  // namespace zira
