#pragma once
#include <cstdint>
#include <ostream>

namespace zira {

// What kind of outcome an operation had. Callers mostly ask only Ok(); the
// kinds tell a refused allocation or a bad argument from other failures.
enum class ResultCode : std::uint8_t {
  kOk,
  kFailed,
  kInvalidArgument,  // a missing or empty argument
  kOutOfMemory,      // an allocation that failed or a fixed table that is full
};

// The outcome of an operation: its code and, for a failure, a short reason
// that travels with it for tests and diagnostics. The log texts never come
// from the reason.
class [[nodiscard]] Result {
 public:
  constexpr Result() = default;
  // A failure always says why.
  constexpr Result(ResultCode code, const char* reason) : code_(code), reason_(reason) {}

  constexpr ResultCode Code() const { return code_; }
  // Why it failed; empty for a success.
  constexpr const char* Reason() const { return reason_ != nullptr ? reason_ : ""; }
  constexpr bool Ok() const { return code_ == ResultCode::kOk; }

  // Results compare by code alone: a reason refines a failure, it does not make another.
  friend constexpr bool operator==(Result a, Result b) { return a.code_ == b.code_; }
  friend constexpr bool operator==(Result a, ResultCode code) { return a.code_ == code; }

 private:
  ResultCode code_ = ResultCode::kOk;
  const char* reason_ = nullptr;
};

inline constexpr Result kSuccess{};

constexpr Result Fail(const char* reason) { return Result(ResultCode::kFailed, reason); }
constexpr Result InvalidArgument(const char* reason) { return Result(ResultCode::kInvalidArgument, reason); }
constexpr Result OutOfMemory(const char* reason) { return Result(ResultCode::kOutOfMemory, reason); }

constexpr bool Failed(Result r) { return !r.Ok(); }
constexpr bool Succeeded(Result r) { return r.Ok(); }

// For test failure messages.
inline std::ostream& operator<<(std::ostream& out, ResultCode code) {
  switch (code) {
    case ResultCode::kOk: return out << "ok";
    case ResultCode::kFailed: return out << "failed";
    case ResultCode::kInvalidArgument: return out << "invalid argument";
    case ResultCode::kOutOfMemory: return out << "out of memory";
  }
  return out << "code " << static_cast<int>(code);
}
inline std::ostream& operator<<(std::ostream& out, Result r) {
  out << r.Code();
  if (*r.Reason() != '\0') out << " (" << r.Reason() << ")";
  return out;
}

}  // namespace zira
