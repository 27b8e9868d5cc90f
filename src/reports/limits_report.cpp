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

Result LogMaximums(const Inventory& inventory) {
  if (TheSessionLog() == nullptr) return kSuccess;
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

  LogOnly("  MAXIMUM: RaceID = %d", client.maxRaceId);
  LogOnly("  MAXIMUM: ModelCodesPerLetter = %d", LargestCount(client.codeIndex));
  LogOnly("  MAXIMUM: ModelDefs = %d", inventory.modelDefCount);
  LogOnly("  MAXIMUM: ModelSources = %d", inventory.sourceCount);
  LogOnly("  MAXIMUM: ModelSourcesPerLetter = %d", sourcesPerLetter);
  LogOnly("  MAXIMUM: SourceModelDefs = %d", sourceModels);
  LogOnly("  MAXIMUM: VarsTexture = %d", textures);
  LogOnly("  MAXIMUM: VarsHead = %d", heads);
  LogOnly("  MAXIMUM: VarsFace = %d", faces);
  LogOnly("  MAXIMUM: VarsTattoo = %d", tattoos);
  LogOnly("  MAXIMUM: VarsHair = %d", hair);
  LogOnly("  MAXIMUM: VarsBeard = %d", beards);
  LogOnly("  MAXIMUM: VarsDetail = %d", details);
  LogOnly("  MAXIMUM: ZoneID = %d", client.maxZoneId);
  LogOnly("  MAXIMUM: ZoneNicksPerLetter = %d", LargestCount(client.zoneIndex));
  LogOnly("  MAXIMUM: ZoneImportModels = %d", imports);
  LogOnly("  MAXIMUM: DBStrings = %d", inventory.database.count);
  LogOnly("  MAXIMUM: DBStringID = %d", static_cast<int>(inventory.database.highestId));
  LogOnly("  MAXIMUM: List Strings = %d", inventory.strings.count);
  LogOnly("  MAXIMUM: List StringID = %d", inventory.strings.highestId);
  return kSuccess;
}

}  // namespace zira
