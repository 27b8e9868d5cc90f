#include "support/race_table_builder.h"

#include "common/text.h"

namespace zira::testing {

RaceTableBuilder& RaceTableBuilder::Add(std::uint16_t race, std::uint8_t gender, std::string_view code) {
  if (race > kMaxRaceId || gender < 1 || gender > 3) return *this;
  std::string& text = codes_.emplace_back(code);
  UpperInPlace(text.data());
  RaceRecord& row = client_.races[race];
  if (!row.code[0] && !row.code[1] && !row.code[2]) ++client_.raceCount;
  row.raceId = race;
  row.code[gender - 1] = text.data();
  row.codeLength[gender - 1] = static_cast<std::uint8_t>(text.size());
  if (race > client_.maxRaceId) client_.maxRaceId = race;
  ++client_.codeCount;
  RebuildIndex();
  return *this;
}

void RaceTableBuilder::RebuildIndex() {
  ModelCodeIndex& index = client_.codeIndex;
  index = ModelCodeIndex{};
  for (std::uint32_t race = 0; race <= client_.maxRaceId; ++race) {
    for (const char* code : client_.races[race].code) {
      if (code == nullptr || code[0] == '\0') continue;
      const int bucket = LetterBucket(code);
      std::uint16_t& count = index.count[bucket];
      if (count > 0 && index.ids[bucket][count - 1] == race) continue;
      if (count < kCodesPerLetter) index.ids[bucket][count++] = static_cast<std::uint16_t>(race);
    }
  }
}

}  // namespace zira::testing
