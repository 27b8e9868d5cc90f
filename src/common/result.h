#pragma once
#include <cstdint>
#include <ostream>

namespace zira {

// The outcome of an operation: a status code (any negative value is a
// failure) and, for a failure, a short reason that travels with it for tests
// and diagnostics. The log texts never come from the reason.
class [[nodiscard]] Result {
 public:
  constexpr Result() = default;
  constexpr Result(std::int32_t code, const char* reason = nullptr) : code_(code), reason_(reason) {}

  constexpr std::int32_t Code() const { return code_; }
  // Why it failed; empty for a success or a failure without one.
  constexpr const char* Reason() const { return reason_ != nullptr ? reason_ : ""; }
  constexpr bool Ok() const { return code_ >= 0; }

  // Results compare by code alone: a reason refines a failure, it does not make another.
  friend constexpr bool operator==(Result a, Result b) { return a.code_ == b.code_; }

 private:
  std::int32_t code_ = 0;
  const char* reason_ = nullptr;
};

inline constexpr Result S_OK{0};
inline constexpr Result E_FAIL{static_cast<std::int32_t>(0x80004005u)};
inline constexpr Result E_INVALIDARG{static_cast<std::int32_t>(0x80070057u)};
inline constexpr Result E_OUTOFMEMORY{static_cast<std::int32_t>(0x8007000Eu)};

// A general failure that says why.
constexpr Result Fail(const char* reason) { return Result(E_FAIL.Code(), reason); }

constexpr bool Failed(Result r) { return !r.Ok(); }
constexpr bool Succeeded(Result r) { return r.Ok(); }

// For test failure messages.
inline std::ostream& operator<<(std::ostream& out, Result r) {
  out << "0x" << std::hex << static_cast<std::uint32_t>(r.Code()) << std::dec;
  if (*r.Reason() != '\0') out << " (" << r.Reason() << ")";
  return out;
}

}  // namespace zira
