#pragma once
#include <cstdint>

namespace zira {

// Status codes shared by every operation; any negative value is a failure.
using Result = std::int32_t;

inline constexpr Result S_OK = 0;
inline constexpr Result E_FAIL = static_cast<Result>(0x80004005u);
inline constexpr Result E_INVALIDARG = static_cast<Result>(0x80070057u);
inline constexpr Result E_OUTOFMEMORY = static_cast<Result>(0x8007000Eu);

inline constexpr bool Failed(Result r) { return r < 0; }
inline constexpr bool Succeeded(Result r) { return r >= 0; }

}  // namespace zira
