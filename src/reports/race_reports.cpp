#include "reports/race_reports.h"

#include <algorithm>
#include <cstring>

#include "common/session_log.h"
#include "client/race_table.h"
#include "client/string_database.h"
#include "common/file_names.h"
#include "common/races.h"
#include "reports/page_head.h"
#include "reports/race_report_index.h"
#include "reports/report_output.h"
#include "reports/variation_summary.h"
#include "store/model_registry.h"

namespace zira {

namespace {

constexpr int kGenderCount = 3;

// The highest race row that can be read, whatever maxRaceId claims.
std::uint32_t LastRaceRow(const ClientImage& client) {
  return std::min<std::uint32_t>(client.maxRaceId, kMaxRaceId);
}

// The race's code for gender 1 to 3 when present and not empty; rows 0 and
// above the highest race id have none.
const char* CodeOf(const ClientImage& client, std::uint32_t raceId, std::uint32_t gender) {
  if (raceId == 0 || raceId > LastRaceRow(client)) return nullptr;
  const char* code = RaceCode(client, raceId, gender);
  return HasText(code) ? code : nullptr;
}

bool ModelCodeIs(const ModelDef& model, const char* code) {
  if (code == nullptr) return false;
  const std::size_t length = strnlen(model.code, kModelCodeCapacity);
  return length == std::strlen(code) && std::memcmp(model.code, code, length) == 0;
}

std::size_t ModelCountOf(const ModelSource& source) {
  return std::min<std::size_t>(source.modelCount, kModelsPerSource);
}

std::size_t ImportCountOf(const ZoneRecord& zone) {
  return std::min<std::size_t>(zone.importCount, kZoneImportCapacity);
}

const char* DatabaseText(const Inventory& inventory, std::uint32_t type, std::uint32_t id) {
  return StringDatabaseText(inventory.database, type, id);
}

void WriteRaceCodeList(const Inventory& inventory, OutputFile& file) {
  const ClientImage& client = inventory.client;
  file.Write("RaceID\tRaceName\tModelCode_M\tModelCode_F\tModelCode_N\r\n");
  for (std::uint32_t row = 0; row <= kMaxRaceId; ++row) {
    const char* male = CodeOf(client, row, 1);
    const char* female = CodeOf(client, row, 2);
    const char* neutral = CodeOf(client, row, 3);
    if (!male && !female && !neutral) continue;
    // A race without a name keeps its row; the name field is left empty
    // like the fields of its missing codes.
    const char* name = TextOr(DatabaseText(inventory, kRaceNameType, client.races[row].raceId), "");
    file.Print("%d\t%s\t%s\t%s\t%s\r\n", static_cast<int>(row), name, male ? male : "", female ? female : "",
               neutral ? neutral : "");
  }
}

bool IsListedRace(const Inventory& inventory, std::uint32_t raceId) {
  const ClientImage& client = inventory.client;
  if (client.races[raceId].raceId != raceId) return false;
  for (int gender = 1; gender <= kGenderCount; ++gender) {
    if (CodeOf(client, raceId, gender)) return true;
  }
  return HasText(DatabaseText(inventory, kRaceNameType, raceId)) ||
         HasText(DatabaseText(inventory, kRacePluralType, raceId));
}

bool IsSourceOfZone(const ZoneRecord& zone, const ModelSource* source) {
  return zone.chrSource == source || zone.chr2Source == source;
}

bool ZoneConsidersSource(const ZoneRecord& zone, const ModelSource* source) {
  if (IsSourceOfZone(zone, source)) return true;
  for (std::size_t i = 0; i < ImportCountOf(zone); ++i) {
    if (zone.imports[i] && zone.imports[i]->source == source) return true;
  }
  return false;
}

// Zone lines of one local source; true when at least one was written.
bool WriteZoneLines(const Inventory& inventory, const RaceReportIndex& index, OutputFile& file, std::size_t row,
                    std::uint32_t raceId, int found) {
  const ClientImage& client = inventory.client;
  const ModelSource* source = &inventory.sources[row];
  bool wrote = false;
  for (const std::uint16_t z : index.zonesOfSource[row]) {
    const ZoneRecord& zone = client.zones[z];
    if (!ZoneConsidersSource(zone, source)) continue;
    bool counts[kGenderCount + 1] = {};
    int counted = 0;
    for (int gender = 1; gender <= kGenderCount; ++gender) {
      const ModelDef* model = ZoneFindRaceModel(inventory, zone, raceId, gender);
      counts[gender] = model && model->source == source;
      counted += counts[gender] ? 1 : 0;
    }
    if (counted == 0) continue;
    file.Print("<li>Zone # %d - <b>%s</b> (<b class=\"Global3\">%s</b>)", zone.zoneId, TextOr(zone.zoneName, ""),
               TextOr(zone.zoneNick, ""));
    file.Write(IsSourceOfZone(zone, source) ? ", <span class=\"Global0\">Local</span>"
                                            : ", <span class=\"Global4\">Imported</span>");
    if (counted != found) {
      file.Write(" -");
      for (int gender = 1; gender <= kGenderCount; ++gender) {
        if (counts[gender]) {
          file.Print(" <b class=\"Gen%c\">%s</b>", GenderLetter(gender), CodeOf(client, raceId, gender));
        }
      }
    }
    file.Write("</li>\r\n");
    wrote = true;
  }
  return wrote;
}

void WriteAvailability(Inventory& inventory, const RaceReportIndex& index, OutputFile& file, std::uint32_t raceId) {
  const ClientImage& client = inventory.client;
  if (inventory.sourceCount == 0) {
    file.Write("None! No model sources found!\r\n");
    return;
  }
  int codeCount = 0;
  for (int gender = 1; gender <= kGenderCount; ++gender) codeCount += CodeOf(client, raceId, gender) ? 1 : 0;

  int sourcesWithModels = 0;
  bool zoneFound = false;
  for (const std::uint16_t s : index.sourcesOfRace[raceId]) {
    ModelSource& source = inventory.sources[s];
    if (!SourceHoldsRace(inventory, source, raceId)) continue;
    file.Print("<li>Via Source: %s", source.name);
    if (source.kind != kLocalToZone) {
      const char* label = source.kind < kSourceKindCount ? kSourceKindLabels[source.kind] : "";
      file.Print(" (<span class=\"Global%d\">%s</span>)", source.kind, label);
    }
    file.Write("<br />\r\n");

    ModelDef* models[kGenderCount + 1] = {};
    int found = 0;
    bool hasVariations = false;
    for (int gender = 1; gender <= kGenderCount; ++gender) {
      if (!FindRaceModel(inventory, &source, raceId, gender, &models[gender]) || !models[gender]) continue;
      ++found;
      hasVariations = hasVariations || models[gender]->textures.count || models[gender]->heads.count;
    }
    if (found > 0) ++sourcesWithModels;
    if (found > 0 && (found != codeCount || hasVariations)) {
      for (int gender = 1; gender <= kGenderCount; ++gender) {
        const ModelDef* model = models[gender];
        if (!model) continue;
        if (found > 1 || found != codeCount) {
          file.Print("- Model <b class=\"Gen%c\">%s</b>", GenderLetter(gender), model->code);
        }
        static_cast<void>(WriteVariationSummary(&file, client, model));
        file.Write("<br />\r\n");
      }
    }
    file.Write("<ul>\r\n");
    bool usedByZone = false;
    if (source.kind != kLocalToZone) {
      file.Write("<li><b>All Zones</b> (<b class=\"Global3\">Global</b>)</li>");
      usedByZone = true;
    } else {
      usedByZone = WriteZoneLines(inventory, index, file, s, raceId, found);
    }
    zoneFound = zoneFound || usedByZone;
    if (found > 0 && !usedByZone) file.Write("<li>No zones found using this source.</li>\r\n");
    file.Write("</ul>\r\n</li>\r\n");
  }
  if (sourcesWithModels == 0) {
    file.Write("None! No model sources found!\r\n");
  } else if (!zoneFound && sourcesWithModels > 1) {
    file.Write("No zones found using this race.\r\n");
  }
}

void WriteRaceSection(Inventory& inventory, const RaceReportIndex& index, OutputFile& file, std::uint32_t raceId) {
  const ClientImage& client = inventory.client;
  file.Print("<span id=\"Race%d\" class=\"ScriptHide\"%s>\r\n\r\n", static_cast<int>(raceId),
             raceId == 1 ? " style=\"display:inline\"" : "");
  file.Write("<hr>\r\n");
  file.Print("<h3>Race # %d - %s, Plural '%s'%s</h3>\r\n\r\n", static_cast<int>(raceId),
             TextOr(DatabaseText(inventory, kRaceNameType, raceId), "N/A"),
             TextOr(DatabaseText(inventory, kRacePluralType, raceId), "N/A"),
             IsPlayableRace(raceId) ? " (Playable)" : "");
  if (const char* description = DatabaseText(inventory, kRaceDescriptionType, raceId)) {
    file.Print("<p><b>Character Creation Description:</b></p>\r\n\r\n<p>%s</p>\r\n\r\n", description);
  }
  // The fallback closes the bold element first, so N/A shows plain.
  const char* kNoCode = "</b>N/A</b>";
  const char* male = CodeOf(client, raceId, 1);
  const char* female = CodeOf(client, raceId, 2);
  const char* neutral = CodeOf(client, raceId, 3);
  file.Print(
      "<p><b>Model Codes:</b></p>\r\n<ul>\r\n<li>Male = <b class=\"GenM\">%s</b></li>\r\n"
      "<li>Female = <b class=\"GenF\">%s</b></li>\r\n<li>Neutral = <b class=\"GenN\">%s</b></li>\r\n</ul>\r\n",
      male ? male : kNoCode, female ? female : kNoCode, neutral ? neutral : kNoCode);
  file.Write("<p><b>Model availability:</b></p>\r\n\r\n");
  file.Write("<ul>\r\n");
  WriteAvailability(inventory, index, file, raceId);
  file.Write("</ul>\r\n");
  file.Write("</span>\r\n");
}

void WriteRacePage(Inventory& inventory, OutputFile& file) {
  const std::uint32_t lastRace = LastRaceRow(inventory.client);
  WritePageHead(file, kRacePageScript);
  file.Write(
      "<span class=\"FrameLeft ScriptShow\">\r\n\r\n<nobr onclick=\"ShowRace(event);\" onmouseover=\"OverRace();\" "
      "onmouseout=\"OutRace();\">\r\n<p style=\"cursor:default\"><b>Choose Race:</b></p>\r\n"
      "<b><a id=\"HideShow\">Show All</a></b><br />\r\n");
  for (std::uint32_t raceId = 1; raceId <= lastRace; ++raceId) {
    if (!IsListedRace(inventory, raceId)) continue;
    file.Print("<a>%d - %s", static_cast<int>(raceId),
               TextOr(DatabaseText(inventory, kRaceNameType, raceId), "Unknown Race"));
    if (IsPlayableRace(raceId)) {
      file.Write(" (P)");
    } else if (IsRaceGloballyAvailable(inventory, raceId)) {
      file.Write(" (G)");
    }
    file.Write("</a><br />\r\n");
  }
  file.Write("</nobr>\r\n\r\n</span>\r\n<span class=\"FrameRight\">\r\n\r\n");
  RaceReportIndex index;
  BuildRaceReportIndex(inventory, &index);
  for (std::uint32_t raceId = 1; raceId <= lastRace; ++raceId) {
    if (IsListedRace(inventory, raceId)) WriteRaceSection(inventory, index, file, raceId);
  }
  file.Write("\r\n</span>\r\n");
  file.Write("\r\n</body>\r\n</html>\r\n");
}

}  // namespace

bool SourceHoldsRace(const Inventory& inventory, const ModelSource& source, std::uint32_t raceId) {
  const char* codes[kGenderCount];
  for (int gender = 1; gender <= kGenderCount; ++gender) codes[gender - 1] = CodeOf(inventory.client, raceId, gender);
  for (std::size_t i = 0; i < ModelCountOf(source); ++i) {
    const ModelDef* model = source.models[i];
    if (!model) continue;
    if (model->raceId == raceId) return true;
    for (const char* code : codes) {
      if (ModelCodeIs(*model, code)) return true;
    }
  }
  return false;
}

ModelDef* ZoneFindRaceModel(const Inventory& inventory, const ZoneRecord& zone, std::uint32_t raceId,
                            std::uint32_t gender) {
  if (gender < 1 || gender > kGenderCount) return nullptr;
  const char* code = CodeOf(inventory.client, raceId, gender);
  if (!code) return nullptr;
  ModelDef* model = nullptr;
  if (zone.chrSource && FindRaceModel(inventory, zone.chrSource, raceId, gender, &model) && model) return model;
  if (zone.chr2Source && FindRaceModel(inventory, zone.chr2Source, raceId, gender, &model) && model) return model;
  for (std::size_t i = 0; i < ImportCountOf(zone); ++i) {
    if (zone.imports[i] && ModelCodeIs(*zone.imports[i], code)) return zone.imports[i];
  }
  return nullptr;
}

bool IsRaceGloballyAvailable(Inventory& inventory, std::uint32_t raceId) {
  const ClientImage& client = inventory.client;
  if (raceId == 0 || raceId > LastRaceRow(client)) return false;
  const std::uint8_t globalCount = SourceBucketCount(inventory, kGlobalBucket);
  for (int gender = 1; gender <= kGenderCount; ++gender) {
    if (!CodeOf(client, raceId, gender)) continue;
    for (std::size_t i = 0; i < globalCount; ++i) {
      ModelSource* source = SourceInBucket(inventory, kGlobalBucket, i);
      if (source && FindRaceModel(inventory, source, raceId, gender, nullptr)) return true;
    }
  }
  return false;
}

// Also the texts for a report whose writing fails.
constexpr const char* kListFailure = "FAILURE: Could not write race codes to output file: %s";
constexpr const char* kPageFailure = "FAILURE: Could not write race information to output file: %s";

Result ExportRaceReports(Inventory& inventory, const char* outputPath) {
  const char* edition = inventory.client.editionShort;
  char baseName[kReportPathCapacity];
  {
    OutputFile list;
    if (!OpenReportFile(list, edition, outputPath, kRaceListName, baseName)) {
      LogBoth(kListFailure, baseName);
      return E_FAIL;
    }
    LogBoth("  Listing OBRace model codes in %s", baseName);
    WriteRaceCodeList(inventory, list);
    if (!CommitReportFile(list, kListFailure, baseName)) return E_FAIL;
  }
  OutputFile page;
  if (!OpenReportFile(page, edition, outputPath, kRacePageName, baseName)) {
    LogBoth(kPageFailure, baseName);
    return E_FAIL;
  }
  LogBoth("  Exporting OBRace information to %s", baseName);
  WriteRacePage(inventory, page);
  if (!CommitReportFile(page, kPageFailure, baseName)) return E_FAIL;
  return S_OK;
}

}  // namespace zira
