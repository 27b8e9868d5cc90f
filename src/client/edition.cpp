#include "client/edition.h"

#include <cstring>

#include "common/text.h"

namespace zira {

namespace {

constexpr const char* kCobaltLoadListEndings[] = {".obg", "_chr", "_chr2"};
constexpr const char* kCobaltExpansionNames[] = {
    "Ombrith",    "Ashen Reach", "Frozen Crown",  "Veil of Ostra", "Spires of Dusk", "Call of Merrow",
    "Deep Halls", "Broken Gate", "Signs of Ruin", "Wyrm Tide",     "Underglow",
};

constexpr EditionRules kCobaltRules = {{0, 1, 2}, {'2', '\0', kCobaltLoadListEndings}, kCobaltExpansionNames};
constexpr EditionRules kLiraelRules = {{3, 4, 2}, {'\0', 'c', {}}, {}};
constexpr EditionRules kLaterRules = {{3, 4, 2}, {'\0', '\0', {}}, {}};

}  // namespace

const ClientEdition kEditionTable[kEditionCount] = {
    {1, "Cobalt", "Cobalt", 3981312, 0x8C8CB, 0x8F006, 0x8C83A, 0x1F7000, 0x1FA1B2, 0x1F6AFC, 0, kCobaltRules},
    {2, "Lirael", "Lirael Tides", 3731456, 0xB4EAA, 0xB89F2, 0xB4CFC, 0x22A3E0, 0x22E189, 0x229F9C, 0, kLiraelRules},
    {3, "MK2", "Mistkeep (v2)", 8774656, 0x109A0A, 0x10E315, 0x10983C, 0x3DBEB9, 0x3E2F50, 0x3DB68C, 0x3DB82C,
     kLaterRules},
};

const ClientEdition* FindEdition(std::uint32_t editionId) {
  for (const ClientEdition& edition : kEditionTable) {
    if (edition.editionId == editionId) return &edition;
  }
  return nullptr;
}

std::uint32_t EditionForSize(std::uint64_t size) {
  for (const ClientEdition& edition : kEditionTable) {
    if (size == edition.fileSize) return edition.editionId;
  }
  return 0;
}

bool LoadListFilter::Counts(const char* firstField, const char* thirdField, const char* packageField) const {
  if (skippedFirstChar != '\0' && firstField[0] == skippedFirstChar) return false;
  if (thirdFieldLastChar != '\0') {
    const std::size_t length = std::strlen(thirdField);
    if (length == 0 || (thirdField[length - 1] | 0x20) != thirdFieldLastChar) return false;
  }
  if (packageEndings.empty()) return true;
  for (const char* ending : packageEndings) {
    if (EndsWithNoCase(packageField, ending)) return true;
  }
  return false;
}

const EditionRules& RulesOfEdition(std::uint32_t editionId) {
  const ClientEdition* edition = FindEdition(editionId);
  return edition != nullptr ? edition->rules : kLaterRules;
}

}  // namespace zira
