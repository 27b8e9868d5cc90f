#pragma once
#include <cstddef>
#include <cstdint>

namespace zira {

// The gender of a race's model code, numbered as the race table and the
// reports number it.
enum class Gender : std::uint8_t {
  kNone = 0,
  kMale = 1,
  kFemale = 2,
  kNeutral = 3,
};

// The three genders of a race, in the order every walk visits them.
inline constexpr Gender kGenders[] = {Gender::kMale, Gender::kFemale, Gender::kNeutral};
inline constexpr std::size_t kGenderCount = 3;

constexpr std::uint32_t GenderNumber(Gender gender) { return static_cast<std::uint32_t>(gender); }
constexpr bool IsGender(Gender gender) { return gender >= Gender::kMale && gender <= Gender::kNeutral; }

}  // namespace zira
