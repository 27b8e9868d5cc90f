#include "packages/obg_name_rules.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "common/text.h"
#include "common/variation_kind.h"

namespace zira {

namespace {

constexpr std::size_t kNameBufferSize = 100;
constexpr int kMostParts = 9;

// Races whose body textures each come with a head of the same number.
constexpr std::uint16_t kHeadPerTextureRaces[] = {442, 448, 453, 455, 457, 459, 461, 467, 486, 487, 489,
                                                  490, 491, 495, 496, 497, 517, 519, 520, 521, 523, 525,
                                                  526, 527, 528, 529, 558, 563, 564, 568, 570, 577, 579};

bool Is(const char* text, const char* word) { return EqualsNoCase(text, std::strlen(text), word); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(const char* text, char lower) {
  return text[0] != '\0' && text[1] == '\0' && (text[0] == lower || text[0] == lower - ('a' - 'A'));
}
bool StartsWithS(const char* text) { return text[0] == 's' || text[0] == 'S'; }
std::uint8_t Number(const char* text) { return static_cast<std::uint8_t>(AtoI(text)); }
std::uint8_t Low8(int value) { return static_cast<std::uint8_t>(value); }

void Extra(NameVariations& out, VariationKind kind, std::uint8_t value) {
  if (out.extraCount < std::size(out.extra)) out.extra[out.extraCount++] = {kind, value};
}
void Final(NameVariations& out, VariationKind kind, std::uint8_t value) {
  out.hasFinal = true;
  out.final = {kind, value};
}

// The code that the texture files of a few models carry instead of their own.
const char* AlternateCode(std::uint16_t race, Gender gender) {
  if (race == 474 && gender == Gender::kNeutral) return "KOR";
  if (race == 497 && gender == Gender::kFemale) return "VAM";
  if (race == 522 && gender == Gender::kFemale) return "DKM";
  if ((race == 547 || race == 548) && gender == Gender::kNeutral) return "GUS";
  return nullptr;
}

// Body textures of some races imply heads, or stand for heads themselves.
void BodyTextureRules(std::uint16_t race, std::uint8_t n, NameVariations& out) {
  if (std::find(std::begin(kHeadPerTextureRaces), std::end(kHeadPerTextureRaces), race) !=
      std::end(kHeadPerTextureRaces)) {
    Extra(out, VariationKind::kHead, n);
    Final(out, VariationKind::kTexture, n);
    return;
  }
  switch (race) {
    case 433:
      if (n > 5) Extra(out, VariationKind::kHead, n);
      break;
    case 439:
      if (n > 3) Extra(out, VariationKind::kHead, n);
      break;
    case 445:
      if (n == 4) Extra(out, VariationKind::kHead, 5);
      break;
    case 456:
      if (n == 1 || n == 3) Extra(out, VariationKind::kHead, n);
      Final(out, VariationKind::kTexture, Low8(2 * n));
      return;
    case 458:
      Extra(out, VariationKind::kHead, n);
      if (n > 3) {
        Extra(out, VariationKind::kTexture, Low8(n + 3));
        Extra(out, VariationKind::kHead, Low8(n + 3));
      }
      break;
    case 465:
    case 466:
      Extra(out, VariationKind::kHead, n);
      Extra(out, VariationKind::kHead, Low8(n + 1));
      break;
    case 468:
      if (n == 4) Extra(out, VariationKind::kHead, 4);
      break;
    case 474:
      Extra(out, VariationKind::kHead, 1);
      if (n != 1) Final(out, VariationKind::kTexture, n);
      return;
    case 492:
    case 518:
      Extra(out, VariationKind::kHead, Low8(3 * n));
      break;
    case 566:
      Final(out, VariationKind::kHead, n);
      return;
    case 569:
      return;
    case 580:
      if (n == 0) {
        Extra(out, VariationKind::kHead, 1);
        Extra(out, VariationKind::kHead, 2);
      }
      break;
    default:
      break;
  }
  Final(out, VariationKind::kTexture, n);
}

// Attachment files: CODE_facialatt_3.mod and the like.
void ExamineAttachment(char** parts, const ObgModel& model, NameVariations& out) {
  if (!Is(parts[0], model.code)) return;
  if (Is(parts[1], "facialatt")) {
    Final(out, VariationKind::kDetail, Number(parts[2]));
  } else if (Is(parts[1], "facialhair")) {
    Final(out, VariationKind::kBeard, Number(parts[2]));
  } else if (Is(parts[1], "hair")) {
    Final(out, VariationKind::kHair, Number(parts[2]));
  }
}

// Texture files: a_CODE_05_c.dds, c_CODE_bd_s4_c.dds and the like.
void ExamineTexture(char** parts, int count, const ObgModel& model, NameVariations& out) {
  if (!IsLetter(parts[count - 1], 'c')) return;
  if (!IsLetter(parts[0], 'a') && !IsLetter(parts[0], 'c')) return;
  const char* alternate = AlternateCode(model.raceId, model.gender);
  if (!Is(parts[1], model.code) && (alternate == nullptr || !Is(parts[1], alternate))) return;

  char* p3 = parts[2];
  if (std::strlen(p3) == 2 && IsDigit(p3[0]) && IsDigit(p3[1])) {
    std::uint8_t value = Low8(10 * (p3[0] - '0') + (p3[1] - '0'));
    if (value == 10 && count >= 5 && StartsWithS(parts[4])) value = Low8(10 + AtoI(parts[4] + 1));
    Final(out, VariationKind::kTexture, value);
    return;
  }
  // One race names its body textures ab, ac and aw instead of bd.
  if (model.raceId == 497 && (p3[0] == 'a' || p3[0] == 'A') && p3[1] != '\0' &&
      std::strchr("bBcCwW", p3[1]) != nullptr) {
    p3[0] = 'b';
    p3[1] = 'd';
  }
  if (count < 4 || !StartsWithS(parts[3])) return;
  const std::uint8_t n = Number(parts[3] + 1);
  if (Is(p3, "bd")) {
    BodyTextureRules(model.raceId, n, out);
  } else if (Is(p3, "flag1")) {
    Final(out, VariationKind::kTexture, (model.raceId == 586 && n == 0) ? 31 : n);
  } else if (Is(p3, "head")) {
    Final(out, VariationKind::kFace, n);
  } else if (Is(p3, "hr")) {
    Final(out, VariationKind::kHair, n);
  } else if (Is(p3, "hd")) {
    if (model.raceId == 431) {
      Extra(out, VariationKind::kHead, 1);
      Final(out, VariationKind::kTexture, n);
    } else {
      Final(out, VariationKind::kHead, n);
    }
  } else if (Is(p3, "tattoo")) {
    Final(out, VariationKind::kTattoo, n);
  }
}

}  // namespace

NameVariations ExamineName(const char* name, const ObgModel& model) {
  NameVariations out;
  if (name == nullptr || model.code == nullptr) return out;
  char buffer[kNameBufferSize];
  char* parts[kMostParts] = {};
  const int count = SplitFields(name, '_', buffer, sizeof(buffer), parts, kMostParts);
  if (count < 3) return out;
  const char* extension = "";
  if (char* dot = std::strchr(parts[count - 1], '.'); dot != nullptr) {
    *dot = '\0';
    extension = dot + 1;
  }
  if (Is(extension, "mod")) {
    ExamineAttachment(parts, model, out);
  } else {
    ExamineTexture(parts, count, model, out);
  }
  return out;
}

}  // namespace zira
