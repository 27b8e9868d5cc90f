#include "reports/zone_reports.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "common/session_log.h"
#include "client/edition.h"
#include "client/string_database.h"
#include "client/string_list.h"
#include "client/table_views.h"
#include "common/file_names.h"
#include "common/text.h"
#include "common/worker_pool.h"
#include "reports/page_head.h"
#include "reports/report_output.h"
#include "reports/variation_summary.h"

namespace zira {

namespace {

// The 32-bit fields print as C prints a signed 32-bit value.
int Signed(std::uint32_t value) { return static_cast<std::int32_t>(value); }

std::uint32_t LastZoneRow(const ClientImage& client) {
  return static_cast<std::uint32_t>(ZoneRows(client).size() - 1);
}

const char* GenderWord(Gender gender) {
  if (gender == Gender::kMale) return " Male";
  if (gender == Gender::kFemale) return " Female";
  return "";
}

// Genders print as 0 male, 1 female, 2 neutral.
int PrintedGender(Gender gender) { return static_cast<int>(GenderNumber(gender)) - 1; }

// The race name of a model: the name of the race id its race row holds.
const char* ModelRaceName(const Inventory& inventory, const ModelDef& model) {
  const ClientImage& client = inventory.client;
  if (model.raceId >= RaceRows(client).size()) return "Unknown";
  const std::uint32_t id = client.races[model.raceId].raceId;
  return TextOr(StringDatabaseText(inventory.database, kRaceNameType, id), "Unknown");
}

bool HasRaceAndGender(const ModelDef& model) { return model.raceId != 0 && GenderLetter(model.gender) != 0; }

void WriteModelLine(const Inventory& inventory, OutputFile& file, const ModelDef& model) {
  if (!HasRaceAndGender(model)) {
    file.Print("<li><b>%s</b> - Unrecognized Race Model</li>\r\n", HtmlEscaped(model.code).c_str());
    return;
  }
  file.Print("<li><b class=\"Gen%c\">%s</b> - %s%s (Race %d, Gender %d)", GenderLetter(model.gender),
             HtmlEscaped(model.code).c_str(), HtmlEscaped(ModelRaceName(inventory, model)).c_str(),
             GenderWord(model.gender), model.raceId, PrintedGender(model.gender));
  static_cast<void>(WriteVariationSummary(&file, inventory.client, &model));
  file.Write("</li>\r\n");
}

void WriteImportLine(const Inventory& inventory, OutputFile& file, const ModelDef& model) {
  const std::string sourceName = HtmlEscaped(model.source ? model.source->name : "UnknownSource");
  const std::string code = HtmlEscaped(model.code);
  if (HasRaceAndGender(model)) {
    file.Print("<li><b class=\"Gen%c\">%s</b> - %s%s (Race %d, Gender %d), via <span class=\"Global3\">%s</span>",
               GenderLetter(model.gender), code.c_str(), HtmlEscaped(ModelRaceName(inventory, model)).c_str(),
               GenderWord(model.gender), model.raceId, PrintedGender(model.gender), sourceName.c_str());
  } else {
    file.Print("<li><b>%s</b> (", code.c_str());
    if (model.raceId != 0) file.Print("Race %d", model.raceId);
    else file.Write("Race Unknown");
    file.Write(", ");
    if (model.gender != Gender::kNone) file.Print("Gender %d", PrintedGender(model.gender));
    else file.Write("Gender Unknown");
    file.Print("), via %s\r\n", sourceName.c_str());
  }
  static_cast<void>(WriteVariationSummary(&file, inventory.client, &model));
  file.Write("</li>\r\n");
}

// The source's model lines; returns how many were written.
int WriteSourceModels(const Inventory& inventory, OutputFile& file, const ModelSource& source) {
  int written = 0;
  for (const ModelDef* model : source.Models()) {
    if (!model) continue;
    WriteModelLine(inventory, file, *model);
    ++written;
  }
  return written;
}

void WriteZoneList(const Inventory& inventory, OutputFile& file) {
  const ClientImage& client = inventory.client;
  file.Write("ZoneID\tZoneNick\tZoneName\tStringID\tExpansion\tFlags\tMinLevel\tUnknown7\tUnknown8\r\n");
  for (std::uint32_t i = 0; i <= LastZoneRow(client); ++i) {
    const ZoneRecord& zone = client.zones[i];
    if (zone.zoneId != i) continue;
    // Row 0 matches its index even when empty; it counts only with a nick.
    if (i == 0 && zone.zoneNick == nullptr) continue;
    file.Print("%d\t%s\t%s\t%d\t%d\t%d\t%d\t%d\t%d\r\n", zone.zoneId, ListField(zone.zoneNick).c_str(),
               ListField(zone.zoneName).c_str(), Signed(zone.stringId), zone.expansion, Signed(zone.flags), zone.minLevel,
               Signed(zone.unknown7), Signed(zone.unknown8));
  }
}

void WriteMenu(const Inventory& inventory, OutputFile& file) {
  const ClientImage& client = inventory.client;
  const std::uint32_t lastZone = LastZoneRow(client);
  std::uint32_t topExpansion = 0;
  for (std::uint32_t j = 0; j <= lastZone; ++j) topExpansion = std::max<std::uint32_t>(topExpansion, client.zones[j].expansion);
  for (std::uint32_t e = 0; e <= topExpansion; ++e) {
    const char* name = ExpansionName(inventory, e);
    if (HasText(name)) {
      file.Print("<br />\r\n<b class=\"Global0\">%s</b><br />\r\n", HtmlEscaped(name).c_str());
    } else {
      file.Print("<br />\r\n<b class=\"Global0\">Expansion %d</b><br />\r\n", static_cast<int>(e));
    }
    if (e == 0) file.Write("<a>0 - Globals</a><br />\r\n");
    for (std::uint32_t j = 0; j <= lastZone; ++j) {
      const ZoneRecord& zone = client.zones[j];
      if (zone.expansion == e && HasText(zone.zoneNick)) {
        file.Print("<a>%d - %s</a><br />\r\n", static_cast<int>(j), HtmlEscaped(zone.zoneNick).c_str());
      }
    }
  }
}

void WriteGlobalsSection(Inventory& inventory, OutputFile& file) {
  file.Write("<span id=\"Zone0\" class=\"ScriptHide\" style=\"display:inline\">\r\n\r\n");
  file.Write("<hr>\r\n\r\n");
  file.Write("<h3>Globally Available Race Models</h3>\r\n\r\n");
  file.Write("<ul>\r\n");
  int written = 0;
  const std::uint8_t globalCount = SourceBucketCount(inventory, kGlobalBucket);
  for (std::size_t i = 0; i < globalCount; ++i) {
    const ModelSource* source = SourceInBucket(inventory, kGlobalBucket, i);
    if (!source || source->modelCount == 0) continue;
    file.Print("<li><b>Source:</b> %s (<span class=\"Global%d\">%s</span>)\r\n", HtmlEscaped(source->name).c_str(),
               SourceKindNumber(source->kind), SourceKindLabel(source->kind));
    file.Write("<ul>\r\n");
    written += WriteSourceModels(inventory, file, *source);
    file.Write("</ul>\r\n</li>\r\n");
  }
  if (written == 0) file.Write("<li>No global race models found. Rendering limited to local models.</li>\r\n");
  file.Write("</ul>\r\n");
  file.Write("<br />\r\n");
  file.Write("</span>\r\n");
}

void WriteFlags(OutputFile& file, std::uint32_t flags) {
  file.Write(
      "\r\n<p><pre>        3         2         1         0\r\n"
      "       10987654321098765432109876543210\r\n");
  file.Write("<b>Flags:</b> ");
  char bits[33];
  for (int bit = 31; bit >= 0; --bit) bits[31 - bit] = ((flags >> bit) & 1u) ? '1' : '0';
  bits[32] = '\0';
  file.Write(bits);
  file.Write("</pre></p>\r\n");
}

bool SameAsZoneName(const char* text, const char* zoneName) {
  return zoneName != nullptr && std::strcmp(text, zoneName) == 0;
}

// The section's data lines, from its heading to the flags ruler.
void WriteZoneData(const Inventory& inventory, OutputFile& file, const ZoneRecord& zone, std::uint32_t index) {
  file.Print("<h3>Zone # %d - %s - &quot;%s&quot;</h3>\r\n", static_cast<int>(index),
             HtmlEscaped(TextOr(zone.zoneNick, "N/A")).c_str(), HtmlEscaped(TextOr(zone.zoneName, "N/A")).c_str());
  // String list ids are 16-bit: a larger StringID has no text, it is not cut down.
  if (zone.stringId != 0 && zone.stringId <= UINT16_MAX) {
    const char* text = StringListText(inventory.strings, static_cast<std::uint16_t>(zone.stringId));
    if (text && !SameAsZoneName(text, zone.zoneName)) {
      file.Print("<p><b>Zone String Table Name:</b> %s</b>\r\n", HtmlEscaped(text).c_str());
    }
  }
  file.Print("<p><b>Expansion:</b> %d - %s</b>\n", zone.expansion,
             HtmlEscaped(TextOr(StringDatabaseText(inventory.database, kExpansionNameType, zone.expansion), "N/A")).c_str());
  if (zone.minLevel != 0) file.Print("<p><b>Minimum Level to Enter:</b> %d</p>\r\n", zone.minLevel);
  if (zone.unknown7 != 0) file.Print("<p><b>Unknown7:</b> %d</p>\r\n", Signed(zone.unknown7));
  if (zone.unknown8 != 0) file.Print("<p><b>Unknown8:</b> %d</p>\r\n", Signed(zone.unknown8));
  WriteFlags(file, zone.flags);
}

// The zone's own and imported models; returns how many lines were written.
int WriteZoneModels(const Inventory& inventory, OutputFile& file, const ZoneRecord& zone, const ZoneLinks& links) {
  int written = 0;
  for (const ModelSource* source : {links.chrSource, links.chr2Source}) {
    if (!source) continue;
    file.Print("<li>Inside: <b class=\"Global0\">%s</b>\r\n", HtmlEscaped(source->name).c_str());
    file.Write("<ul>\r\n");
    written += WriteSourceModels(inventory, file, *source);
    file.Write("</ul>\r\n</li>\r\n");
  }
  const std::span<ModelDef* const> imports = links.Imports();
  if (!imports.empty()) {
    file.Print("<li>Imports via: <b class=\"Global2\">%s_chr.txt</b>\r\n", HtmlEscaped(zone.zoneNick).c_str());
    file.Write("<ul>\r\n");
    for (const ModelDef* model : imports) {
      if (!model) continue;
      WriteImportLine(inventory, file, *model);
      ++written;
    }
    file.Write("</ul>\r\n</li>\r\n");
  }
  return written;
}

void WriteZoneSection(const Inventory& inventory, OutputFile& file, std::uint32_t index) {
  const ZoneRecord& zone = inventory.client.zones[index];
  file.Print("<span id=\"Zone%d\" class=\"ScriptHide\">\r\n\r\n", static_cast<int>(index));
  file.Write("<hr>\r\n\r\n");
  WriteZoneData(inventory, file, zone, index);
  file.Write("<p><b>Non-Global Race Models Available:</b></p>\r\n\r\n");
  file.Write("<ul>\r\n");
  if (WriteZoneModels(inventory, file, zone, inventory.zoneLinks[index]) == 0) {
    file.Write("<li>No in-zone or imported race models found. Rendering limited to global models.</li>\r\n");
  }
  file.Write("</ul>\r\n");
  file.Write("<br />\r\n");
  file.Write("</span>\r\n");
}

// The zone menu, the frames around it and the globals section, up to the
// first zone section.
void WriteZoneMenu(Inventory& inventory, OutputFile& file) {
  file.Write(
      "<span class=\"FrameLeft ScriptShow\">\r\n\r\n<nobr onclick=\"ShowZone(event);\" onmouseover=\"OverZone();\" "
      "onmouseout=\"OutZone();\">\r\n<p style=\"cursor:default\"><b>Choose Zone:</b></p>\r\n"
      "<b><a id=\"HideShow\">Show All</a></b><br />\r\n");
  WriteMenu(inventory, file);
  file.Write("</nobr>\r\n\r\n</span>\r\n<span class=\"FrameRight\">\r\n\r\n");
  WriteGlobalsSection(inventory, file);
}

void WriteZonePage(TaskRunner& runner, Inventory& inventory, OutputFile& file) {
  const ClientImage& client = inventory.client;
  WritePageHead(file, kZonePageScript);
  // Section 0 is the menu and the globals; zone row i's section is i + 1.
  WriteSectionsInParts(runner, file, std::size_t{LastZoneRow(client)} + 2, [&](OutputFile& part, std::size_t at) {
    if (at == 0) {
      WriteZoneMenu(inventory, part);
      return;
    }
    const auto row = static_cast<std::uint32_t>(at - 1);
    const ZoneRecord& zone = client.zones[row];
    if (HasText(zone.zoneNick) || HasText(zone.zoneName)) WriteZoneSection(inventory, part, row);
  });
  file.Write("\r\n</span>\r\n");
  file.Write("\r\n\r\n</body>\r\n</html>\r\n");
}

}  // namespace

const char* ExpansionName(const Inventory& inventory, std::uint32_t expansion) {
  const std::span<const char* const> ownNames = RulesOfEdition(inventory.client.editionId).expansionNames;
  if (!ownNames.empty()) return expansion < ownNames.size() ? ownNames[expansion] : "";
  return StringDatabaseText(inventory.database, kExpansionNameType, expansion);
}

// Also the texts for a report whose writing fails.
constexpr const char* kListFailure = "FAILURE: Could not write zone information to output file: %s";
constexpr const char* kPageFailure = "FAILURE: Could not write formatted zone information to output file: %s";

Result ExportZoneReports(const RunIo& io, Inventory& inventory, const char* outputPath) {
  const char* edition = inventory.client.editionShort;
  char baseName[kPathCapacity];
  {
    OutputFile list;
    if (!OpenReportFile(io.files, list, edition, outputPath, kZoneListName, baseName)) {
      io.log.Both(kListFailure, baseName);
      return Fail("zone list cannot be created");
    }
    io.log.Both("  Listing OB Zone Information in %s", baseName);
    WriteZoneList(inventory, list);
    if (!CommitReportFile(io.log, list, kListFailure, baseName)) return Fail("zone list cannot be written");
  }
  OutputFile page;
  if (!OpenReportFile(io.files, page, edition, outputPath, kZonePageName, baseName)) {
    io.log.Both(kPageFailure, baseName);
    return Fail("zone page cannot be created");
  }
  io.log.Both("  Listing formatted Zone information in %s", baseName);
  WriteZonePage(io.pool, inventory, page);
  if (!CommitReportFile(io.log, page, kPageFailure, baseName)) return Fail("zone page cannot be written");
  return kSuccess;
}

}  // namespace zira
