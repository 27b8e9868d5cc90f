#include "reports/race_reports.h"

#include <cstring>
#include <string>

#include "common/session_log.h"
#include "client/race_table.h"
#include "client/string_database.h"
#include "client/table_views.h"
#include "common/capacities.h"
#include "common/file_names.h"
#include "common/text.h"
#include "common/worker_pool.h"
#include "reports/page_head.h"
#include "reports/race_availability.h"
#include "reports/race_report_index.h"
#include "reports/report_output.h"
#include "reports/variation_summary.h"
#include "store/model_registry.h"

namespace zira {

namespace {

// One value per gender, indexed by the gender's position in kGenders.
template <typename T>
using PerGender = T[kGenderCount];

// The highest race row that can be read, whatever maxRaceId claims.
std::uint32_t LastRaceRow(const ClientImage& client) {
  return static_cast<std::uint32_t>(RaceRows(client).size() - 1);
}

const char* CodeOf(const ClientImage& client, std::uint32_t raceId, Gender gender) {
  return RaceCodeOf(client, raceId, gender);
}

// The stored code ends at its length, so comparing one more character
// compares the lengths too; the first letter settles most models.
bool ModelCodeIs(const ModelDef& model, const char* code) {
  return code != nullptr && model.code[0] == code[0] &&
         std::strncmp(model.code, code, std::size_t{model.codeLength} + 1) == 0;
}

const char* DatabaseText(const Inventory& inventory, std::uint32_t type, std::uint32_t id) {
  return StringDatabaseText(inventory.database, type, id);
}

void WriteRaceCodeList(const Inventory& inventory, OutputFile& file) {
  const ClientImage& client = inventory.client;
  file.Write("RaceID\tRaceName\tModelCode_M\tModelCode_F\tModelCode_N\r\n");
  for (std::uint32_t row = 0; row <= kMaxRaceId; ++row) {
    const char* male = CodeOf(client, row, Gender::kMale);
    const char* female = CodeOf(client, row, Gender::kFemale);
    const char* neutral = CodeOf(client, row, Gender::kNeutral);
    if (!male && !female && !neutral) continue;
    // A race without a name keeps its row; the name field is left empty
    // like the fields of its missing codes.
    const char* name = TextOr(DatabaseText(inventory, kRaceNameType, client.races[row].raceId), "");
    file.Print("%d\t%s\t%s\t%s\t%s\r\n", static_cast<int>(row), ListField(name).c_str(), ListField(male).c_str(),
               ListField(female).c_str(), ListField(neutral).c_str());
  }
}


// The race page's availability list of one race, written as the walk reports it.
class AvailabilityPage : public AvailabilityVisitor {
 public:
  AvailabilityPage(const Inventory& inventory, OutputFile& file, std::uint32_t raceId)
      : inventory_(inventory), file_(file), raceId_(raceId) {
    for (const Gender gender : kGenders) codeCount_ += CodeOf(inventory.client, raceId, gender) ? 1 : 0;
  }

  void Source(const SourceReach& reach) override {
    const ModelSource& source = *reach.source;
    file_.Print("<li>Via Source: %s", HtmlEscaped(source.name).c_str());
    if (source.kind != SourceKind::kLocalToZone) {
      file_.Print(" (<span class=\"Global%d\">%s</span>)", SourceKindNumber(source.kind), SourceKindLabel(source.kind));
    }
    file_.Write("<br />\r\n");
    if (reach.found > 0) ++sourcesWithModels_;
    WriteModelLines(reach);
    file_.Write("<ul>\r\n");
  }

  void AllZones(const SourceReach&) override {
    file_.Write("<li><b>All Zones</b> (<b class=\"Global3\">Global</b>)</li>");
  }

  void Zone(const SourceReach& reach, const ZoneReach& zoneReach) override {
    const ZoneRecord& zone = *zoneReach.zone;
    file_.Print("<li>Zone # %d - <b>%s</b> (<b class=\"Global3\">%s</b>)", zone.zoneId,
                HtmlEscaped(zone.zoneName).c_str(), HtmlEscaped(zone.zoneNick).c_str());
    file_.Write(zoneReach.local ? ", <span class=\"Global0\">Local</span>"
                                : ", <span class=\"Global4\">Imported</span>");
    if (zoneReach.counted != reach.found) {
      file_.Write(" -");
      for (std::size_t g = 0; g < kGenderCount; ++g) {
        if (!zoneReach.models[g]) continue;
        file_.Print(" <b class=\"Gen%c\">%s</b>", GenderLetter(kGenders[g]),
                    HtmlEscaped(CodeOf(inventory_.client, raceId_, kGenders[g])).c_str());
      }
    }
    file_.Write("</li>\r\n");
  }

  void SourceDone(const SourceReach& reach, bool usedByZone) override {
    zoneFound_ = zoneFound_ || usedByZone;
    if (reach.found > 0 && !usedByZone) file_.Write("<li>No zones found using this source.</li>\r\n");
    file_.Write("</ul>\r\n</li>\r\n");
  }

  void Finish() {
    if (sourcesWithModels_ == 0) {
      file_.Write("None! No model sources found!\r\n");
    } else if (!zoneFound_ && sourcesWithModels_ > 1) {
      file_.Write("No zones found using this race.\r\n");
    }
  }

 private:
  // None when the source supplies exactly the race's codes without
  // variations; no code prefix for a race whose one code is found.
  void WriteModelLines(const SourceReach& reach) {
    bool hasVariations = false;
    for (const ModelDef* model : reach.models) {
      hasVariations = hasVariations || (model && (model->textures.count || model->heads.count));
    }
    if (reach.found == 0 || (reach.found == codeCount_ && !hasVariations)) return;
    for (std::size_t g = 0; g < kGenderCount; ++g) {
      const ModelDef* model = reach.models[g];
      if (!model) continue;
      if (reach.found > 1 || reach.found != codeCount_) {
        file_.Print("- Model <b class=\"Gen%c\">%s</b>", GenderLetter(kGenders[g]), HtmlEscaped(model->code).c_str());
      }
      // Shown as a model of this race, whatever race another section leaves on it.
      static_cast<void>(WriteVariationSummaryAs(&file_, inventory_.client, model, raceId_));
      file_.Write("<br />\r\n");
    }
  }

  const Inventory& inventory_;
  OutputFile& file_;
  std::uint32_t raceId_;
  int codeCount_ = 0;
  int sourcesWithModels_ = 0;
  bool zoneFound_ = false;
};

void WriteAvailability(Inventory& inventory, const RaceReportIndex& index, OutputFile& file, std::uint32_t raceId) {
  if (inventory.sourceCount == 0) {
    file.Write("None! No model sources found!\r\n");
    return;
  }
  AvailabilityPage page(inventory, file, raceId);
  WalkRaceAvailability(inventory, index, raceId, page);
  page.Finish();
}

void WriteRaceSection(Inventory& inventory, const RaceReportIndex& index, OutputFile& file, std::uint32_t raceId) {
  const ClientImage& client = inventory.client;
  file.Print("<span id=\"Race%d\" class=\"ScriptHide\"%s>\r\n\r\n", static_cast<int>(raceId),
             raceId == 1 ? " style=\"display:inline\"" : "");
  file.Write("<hr>\r\n");
  file.Print("<h3>Race # %d - %s, Plural '%s'%s</h3>\r\n\r\n", static_cast<int>(raceId),
             HtmlEscaped(TextOr(DatabaseText(inventory, kRaceNameType, raceId), "N/A")).c_str(),
             HtmlEscaped(TextOr(DatabaseText(inventory, kRacePluralType, raceId), "N/A")).c_str(),
             IsPlayableRace(raceId) ? " (Playable)" : "");
  if (const char* description = DatabaseText(inventory, kRaceDescriptionType, raceId)) {
    file.Print("<p><b>Character Creation Description:</b></p>\r\n\r\n<p>%s</p>\r\n\r\n",
               HtmlEscaped(description).c_str());
  }
  // The fallback closes the bold element first, so N/A shows plain.
  const auto codeOrNone = [&](Gender gender) {
    const char* code = CodeOf(client, raceId, gender);
    return code ? HtmlEscaped(code) : std::string("</b>N/A</b>");
  };
  file.Print(
      "<p><b>Model Codes:</b></p>\r\n<ul>\r\n<li>Male = <b class=\"GenM\">%s</b></li>\r\n"
      "<li>Female = <b class=\"GenF\">%s</b></li>\r\n<li>Neutral = <b class=\"GenN\">%s</b></li>\r\n</ul>\r\n",
      codeOrNone(Gender::kMale).c_str(), codeOrNone(Gender::kFemale).c_str(), codeOrNone(Gender::kNeutral).c_str());
  file.Write("<p><b>Model availability:</b></p>\r\n\r\n");
  file.Write("<ul>\r\n");
  WriteAvailability(inventory, index, file, raceId);
  file.Write("</ul>\r\n");
  file.Write("</span>\r\n");
}

// The race menu and the frames around it, up to the first race section.
void WriteRaceMenu(Inventory& inventory, OutputFile& file) {
  const std::uint32_t lastRace = LastRaceRow(inventory.client);
  file.Write(
      "<span class=\"FrameLeft ScriptShow\">\r\n\r\n<nobr onclick=\"ShowRace(event);\" onmouseover=\"OverRace();\" "
      "onmouseout=\"OutRace();\">\r\n<p style=\"cursor:default\"><b>Choose Race:</b></p>\r\n"
      "<b><a id=\"HideShow\">Show All</a></b><br />\r\n");
  for (std::uint32_t raceId = 1; raceId <= lastRace; ++raceId) {
    if (!IsListedRace(inventory, raceId)) continue;
    file.Print("<a>%d - %s", static_cast<int>(raceId),
               HtmlEscaped(TextOr(DatabaseText(inventory, kRaceNameType, raceId), "Unknown Race")).c_str());
    if (IsPlayableRace(raceId)) {
      file.Write(" (P)");
    } else if (IsRaceGloballyAvailable(inventory, raceId)) {
      file.Write(" (G)");
    }
    file.Write("</a><br />\r\n");
  }
  file.Write("</nobr>\r\n\r\n</span>\r\n<span class=\"FrameRight\">\r\n\r\n");
}

void WriteRacePage(TaskRunner& runner, Inventory& inventory, OutputFile& file) {
  const std::uint32_t lastRace = LastRaceRow(inventory.client);
  WritePageHead(file, kRacePageScript);
  RaceReportIndex index;
  BuildRaceReportIndex(inventory, &index);
  // Section 0 is the menu; each race's section follows under its id.
  WriteSectionsInParts(runner, file, std::size_t{lastRace} + 1, [&](OutputFile& part, std::size_t at) {
    const auto raceId = static_cast<std::uint32_t>(at);
    if (raceId == 0) {
      WriteRaceMenu(inventory, part);
    } else if (IsListedRace(inventory, raceId)) {
      WriteRaceSection(inventory, index, part, raceId);
    }
  });
  file.Write("\r\n</span>\r\n");
  file.Write("\r\n</body>\r\n</html>\r\n");
}

}  // namespace

bool IsListedRace(const Inventory& inventory, std::uint32_t raceId) {
  const ClientImage& client = inventory.client;
  if (client.races[raceId].raceId != raceId) return false;
  for (const Gender gender : kGenders) {
    if (CodeOf(client, raceId, gender)) return true;
  }
  return HasText(DatabaseText(inventory, kRaceNameType, raceId)) ||
         HasText(DatabaseText(inventory, kRacePluralType, raceId));
}

const char* PageRaceCode(const ClientImage& client, std::uint32_t raceId, Gender gender) {
  return CodeOf(client, raceId, gender);
}

bool SourceHoldsRace(const Inventory& inventory, const ModelSource& source, std::uint32_t raceId) {
  PerGender<const char*> codes;
  for (std::size_t g = 0; g < kGenderCount; ++g) codes[g] = CodeOf(inventory.client, raceId, kGenders[g]);
  for (const ModelDef* model : source.Models()) {
    if (!model) continue;
    if (model->raceId == raceId) return true;
    for (const char* code : codes) {
      if (ModelCodeIs(*model, code)) return true;
    }
  }
  return false;
}

ModelDef* ZoneFindRaceModel(const Inventory& inventory, const ZoneLinks& zone, std::uint32_t raceId, Gender gender) {
  const char* code = CodeOf(inventory.client, raceId, gender);
  if (!code) return nullptr;
  if (ModelDef* model = LookUpRaceModel(inventory, zone.chrSource, raceId, gender)) return model;
  if (ModelDef* model = LookUpRaceModel(inventory, zone.chr2Source, raceId, gender)) return model;
  for (ModelDef* imported : zone.Imports()) {
    if (imported && ModelCodeIs(*imported, code)) return imported;
  }
  return nullptr;
}

bool IsRaceGloballyAvailable(Inventory& inventory, std::uint32_t raceId) {
  const ClientImage& client = inventory.client;
  if (raceId == 0 || raceId > LastRaceRow(client)) return false;
  const std::uint8_t globalCount = SourceBucketCount(inventory, kGlobalBucket);
  for (const Gender gender : kGenders) {
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

void RecordRaceMarks(Inventory& inventory) {
  if (inventory.sourceCount == 0) return;
  RaceReportIndex index;
  BuildRaceReportIndex(inventory, &index);
  const std::uint32_t lastRace = LastRaceRow(inventory.client);
  // The race page's walk in its order, ascending races: a model that several
  // races reach ends with the highest of them. A zone's own sources are
  // walked as sources of their own, so the zone lines add no marks.
  for (std::uint32_t raceId = 1; raceId <= lastRace; ++raceId) {
    if (!IsListedRace(inventory, raceId)) continue;
    for (const std::uint16_t row : index.sourcesOfRace[raceId]) {
      ModelSource& source = inventory.sources[row];
      if (!SourceHoldsRace(inventory, source, raceId)) continue;
      for (const Gender gender : kGenders) {
        ModelDef* model = nullptr;
        static_cast<void>(FindRaceModel(inventory, &source, raceId, gender, &model));
      }
    }
  }
}

Result ExportRaceReports(const RunIo& io, Inventory& inventory, const char* outputPath) {
  const char* edition = inventory.client.editionShort;
  char baseName[kPathCapacity];
  {
    OutputFile list;
    if (!OpenReportFile(io.files, list, edition, outputPath, kRaceListName, baseName)) {
      io.log.Both(kListFailure, baseName);
      return Fail("race list cannot be created");
    }
    io.log.Both("  Listing OBRace model codes in %s", baseName);
    WriteRaceCodeList(inventory, list);
    if (!CommitReportFile(io.log, list, kListFailure, baseName)) return Fail("race list cannot be written");
  }
  OutputFile page;
  if (!OpenReportFile(io.files, page, edition, outputPath, kRacePageName, baseName)) {
    io.log.Both(kPageFailure, baseName);
    return Fail("race page cannot be created");
  }
  io.log.Both("  Exporting OBRace information to %s", baseName);
  WriteRacePage(io.pool, inventory, page);
  if (!CommitReportFile(io.log, page, kPageFailure, baseName)) return Fail("race page cannot be written");
  return kSuccess;
}

}  // namespace zira
