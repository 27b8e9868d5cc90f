#include "reports/limits_report.h"

#include <algorithm>

#include "client/table_views.h"
#include "common/session_log.h"

namespace zira {

namespace {

template <std::size_t N>
int LargestCount(const LetterIndex<N>& index) {
  return *std::max_element(std::begin(index.count), std::end(index.count));
}

}  // namespace

Result LogMaximums(SessionLog& log, const Inventory& inventory) {
  if (!log.Installed()) return kSuccess;
  const ClientImage& client = inventory.client;

  int sourcesPerLetter = 0;
  for (int bucket = kFirstSourceBucket; bucket <= kOrphanBucket; ++bucket) {
    sourcesPerLetter = std::max<int>(sourcesPerLetter, inventory.sourceIndex.count[bucket]);
  }
  // The table spans stop at their tables' room, so a damaged counter cannot
  // lead the report out of range.
  int sourceModels = 0;
  for (const ModelSource& source : inventory.Sources()) sourceModels = std::max<int>(sourceModels, source.modelCount);
  int textures = 0, heads = 0, faces = 0, tattoos = 0, hair = 0, beards = 0, details = 0;
  for (const ModelDef& model : inventory.ModelDefs()) {
    textures = std::max<int>(textures, model.textures.count);
    heads = std::max<int>(heads, model.heads.count);
    faces = std::max<int>(faces, model.faces.count);
    tattoos = std::max<int>(tattoos, model.tattoos.count);
    hair = std::max<int>(hair, model.hair.count);
    beards = std::max<int>(beards, model.beards.count);
    details = std::max<int>(details, model.details.count);
  }
  int imports = 0;
  const std::size_t zoneRows = ZoneRows(client).size();
  for (std::size_t zone = 0; zone < zoneRows; ++zone) {
    imports = std::max<int>(imports, inventory.zoneLinks[zone].importCount);
  }

  log.Only("  MAXIMUM: RaceID = %d", client.maxRaceId);
  log.Only("  MAXIMUM: ModelCodesPerLetter = %d", LargestCount(client.codeIndex));
  log.Only("  MAXIMUM: ModelDefs = %d", inventory.modelDefCount);
  log.Only("  MAXIMUM: ModelSources = %d", inventory.sourceCount);
  log.Only("  MAXIMUM: ModelSourcesPerLetter = %d", sourcesPerLetter);
  log.Only("  MAXIMUM: SourceModelDefs = %d", sourceModels);
  log.Only("  MAXIMUM: VarsTexture = %d", textures);
  log.Only("  MAXIMUM: VarsHead = %d", heads);
  log.Only("  MAXIMUM: VarsFace = %d", faces);
  log.Only("  MAXIMUM: VarsTattoo = %d", tattoos);
  log.Only("  MAXIMUM: VarsHair = %d", hair);
  log.Only("  MAXIMUM: VarsBeard = %d", beards);
  log.Only("  MAXIMUM: VarsDetail = %d", details);
  log.Only("  MAXIMUM: ZoneID = %d", client.maxZoneId);
  log.Only("  MAXIMUM: ZoneNicksPerLetter = %d", LargestCount(client.zoneIndex));
  log.Only("  MAXIMUM: ZoneImportModels = %d", imports);
  log.Only("  MAXIMUM: DBStrings = %d", inventory.database.count);
  log.Only("  MAXIMUM: DBStringID = %d", static_cast<int>(inventory.database.highestId));
  log.Only("  MAXIMUM: List Strings = %d", inventory.strings.count);
  log.Only("  MAXIMUM: List StringID = %d", inventory.strings.highestId);
  return kSuccess;
}

}  // namespace zira
