#include "support/deflate_writer.h"

#include <zlib.h>

#include <algorithm>
#include <map>

namespace zira::testing {

namespace {

class BitWriter {
 public:
  // value's low count bits, lowest first (header fields, extra bits).
  void Bits(std::uint32_t value, unsigned count) {
    for (unsigned i = 0; i < count; ++i) Bit((value >> i) & 1u);
  }
  // A prefix code, its top bit first.
  void Code(std::uint32_t code, unsigned length) {
    for (unsigned i = length; i > 0; --i) Bit((code >> (i - 1)) & 1u);
  }
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

 private:
  void Bit(std::uint32_t bit) {
    if (used_ % 8 == 0) bytes_.push_back(0);
    bytes_.back() = static_cast<std::uint8_t>(bytes_.back() | bit << (used_ % 8));
    ++used_;
  }
  std::vector<std::uint8_t> bytes_;
  std::size_t used_ = 0;
};

struct Code {
  std::uint32_t code;
  unsigned length;
};
using Lengths = std::map<unsigned, unsigned>;  // symbol -> code length
using Codes = std::map<unsigned, Code>;

Codes Canonical(const Lengths& lengths) {
  unsigned counts[16] = {};
  for (const auto& [symbol, length] : lengths) ++counts[length];
  std::uint32_t next[17] = {};
  for (unsigned length = 1; length < 16; ++length) next[length + 1] = (next[length] + counts[length]) << 1;
  Codes codes;
  for (const auto& [symbol, length] : lengths) codes[symbol] = {next[length]++, length};
  return codes;
}

void FixedSymbol(BitWriter& bits, unsigned symbol) {
  if (symbol < 144) bits.Code(0x30 + symbol, 8);
  else if (symbol < 256) bits.Code(0x190 + symbol - 144, 9);
  else if (symbol < 280) bits.Code(symbol - 256, 7);
  else bits.Code(0xC0 + symbol - 280, 8);
}

std::vector<std::uint8_t> Wrap(const BitWriter& body, const std::vector<std::uint8_t>& output) {
  std::vector<std::uint8_t> stream(2 + body.Bytes().size());
  stream[0] = 0x78;  // deflate, 32 KiB window, no dictionary
  stream[1] = 0x01;
  std::copy(body.Bytes().begin(), body.Bytes().end(), stream.begin() + 2);
  const uLong adler = adler32(adler32(0, nullptr, 0), output.data(), static_cast<uInt>(output.size()));
  for (int shift = 24; shift >= 0; shift -= 8) stream.push_back(static_cast<std::uint8_t>(adler >> shift));
  return stream;
}

// A last fixed block: literal 'x' once, then matches of 258 at distance 1,
// then the given length symbol with a distance symbol (and 14 extra bits).
std::vector<std::uint8_t> FixedBlock(unsigned matches, unsigned lengthSymbol, unsigned distanceSymbol,
                                     std::size_t tail) {
  BitWriter bits;
  bits.Bits(1, 1);
  bits.Bits(1, 2);
  FixedSymbol(bits, 'x');
  for (unsigned i = 0; i < matches; ++i) {
    FixedSymbol(bits, 285);
    bits.Code(0, 5);
  }
  if (lengthSymbol != 0) {
    FixedSymbol(bits, lengthSymbol);
    bits.Code(distanceSymbol, 5);
    if (distanceSymbol >= 30) bits.Bits(0, 14);
  }
  FixedSymbol(bits, 256);
  return Wrap(bits, std::vector<std::uint8_t>(1 + std::size_t{matches} * 258 + tail, 'x'));
}

// A last dynamic block whose precode gives lengths 0, 1 and 2 and runs of zeros.
using Body = void (*)(BitWriter&, const Codes& lengthCodes);
std::vector<std::uint8_t> DynamicBlock(unsigned lengthSymbols, unsigned distanceSymbols, const Lengths& lengthCode,
                                       const Lengths& distanceCode, Body body, std::size_t written) {
  static constexpr unsigned kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
  const Lengths precode = {{0, 2}, {1, 2}, {2, 2}, {18, 2}};
  const Codes pre = Canonical(precode);
  BitWriter bits;
  bits.Bits(1, 1);
  bits.Bits(2, 2);
  bits.Bits(lengthSymbols - 257, 5);
  bits.Bits(distanceSymbols - 1, 5);
  bits.Bits(18 - 4, 4);  // up to the length of symbol 1
  for (unsigned i = 0; i < 18; ++i) bits.Bits(precode.count(kOrder[i]) ? precode.at(kOrder[i]) : 0, 3);
  std::vector<unsigned> lengths;
  for (unsigned s = 0; s < lengthSymbols; ++s) lengths.push_back(lengthCode.count(s) ? lengthCode.at(s) : 0);
  for (unsigned s = 0; s < distanceSymbols; ++s) lengths.push_back(distanceCode.count(s) ? distanceCode.at(s) : 0);
  for (std::size_t i = 0; i < lengths.size();) {
    std::size_t run = 0;
    while (i + run < lengths.size() && lengths[i + run] == 0 && run < 138) ++run;
    if (run >= 11) {
      bits.Code(pre.at(18).code, pre.at(18).length);
      bits.Bits(static_cast<std::uint32_t>(run - 11), 7);
      i += run;
    } else {
      bits.Code(pre.at(lengths[i]).code, pre.at(lengths[i]).length);
      ++i;
    }
  }
  body(bits, Canonical(lengthCode));
  return Wrap(bits, std::vector<std::uint8_t>(written, 'A'));
}

void FourLetters(BitWriter& bits, const Codes& codes) {
  for (int i = 0; i < 4; ++i) bits.Code(codes.at('A').code, codes.at('A').length);
  bits.Code(codes.at(256).code, codes.at(256).length);
}
void EndSentAsOne(BitWriter& bits, const Codes&) { bits.Bits(1, 1); }
void EndSentAsZero(BitWriter& bits, const Codes&) { bits.Bits(0, 1); }
// 'A', then a match of 3 whose distance is read as the given bit.
template <unsigned kDistanceBit>
void LetterAndMatch(BitWriter& bits, const Codes& codes) {
  bits.Code(codes.at('A').code, codes.at('A').length);
  bits.Code(codes.at(257).code, codes.at(257).length);
  bits.Bits(kDistanceBit, 1);
  bits.Code(codes.at(256).code, codes.at(256).length);
}

}  // namespace

std::vector<CraftedStream> CraftedDeflateStreams() {
  const Lengths letterAndEnd = {{'A', 1}, {256, 1}};
  const Lengths twoDistances = {{0, 1}, {1, 1}};
  const Lengths letterMatchEnd = {{'A', 2}, {257, 2}, {256, 1}};
  return {
      {"fixed_length_symbol_286", FixedBlock(0, 286, 0, 258), 300, false},
      {"fixed_length_symbol_287", FixedBlock(0, 287, 0, 258), 300, false},
      {"fixed_distance_symbol_30", FixedBlock(130, 257, 30, 3), 40000, false},
      {"fixed_distance_symbol_31", FixedBlock(191, 257, 31, 3), 60000, false},
      {"fixed_matches", FixedBlock(130, 257, 0, 3), 40000, true},
      {"dynamic_287_length_symbols", DynamicBlock(287, 2, letterAndEnd, twoDistances, FourLetters, 4), 10, false},
      {"dynamic_288_length_symbols", DynamicBlock(288, 2, letterAndEnd, twoDistances, FourLetters, 4), 10, false},
      {"dynamic_31_distance_symbols", DynamicBlock(286, 31, letterAndEnd, twoDistances, FourLetters, 4), 10, false},
      {"dynamic_32_distance_symbols", DynamicBlock(286, 32, letterAndEnd, twoDistances, FourLetters, 4), 10, false},
      {"dynamic_complete_codes", DynamicBlock(286, 30, letterAndEnd, twoDistances, FourLetters, 4), 10, true},
      {"lone_end_code_sent_as_1", DynamicBlock(257, 2, {{256, 1}}, twoDistances, EndSentAsOne, 0), 10, false},
      {"lone_end_code_sent_as_0", DynamicBlock(257, 2, {{256, 1}}, twoDistances, EndSentAsZero, 0), 10, true},
      {"no_distance_code_read_as_0", DynamicBlock(258, 1, letterMatchEnd, {}, LetterAndMatch<0>, 4), 10, false},
      {"no_distance_code_read_as_1", DynamicBlock(258, 1, letterMatchEnd, {}, LetterAndMatch<1>, 4), 10, false},
      {"lone_distance_code_read_as_1", DynamicBlock(258, 1, letterMatchEnd, {{0, 1}}, LetterAndMatch<1>, 4), 10,
       false},
      {"lone_distance_code_read_as_0", DynamicBlock(258, 1, letterMatchEnd, {{0, 1}}, LetterAndMatch<0>, 4), 10,
       true},
  };
}

}  // namespace zira::testing
