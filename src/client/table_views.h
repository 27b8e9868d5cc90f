#pragma once
#include <algorithm>
#include <cstddef>
#include <span>

#include "client/client_image.h"

namespace zira {

// Views of the client's fixed tables up to their highest id. A counter that
// claims more than its table holds is cut to the table, here and only here.

// Race rows 0 through maxRaceId, indexed by race id.
inline std::span<const RaceRecord> RaceRows(const ClientImage& client) {
  return {client.races, std::min<std::size_t>(client.maxRaceId, kMaxRaceId) + 1};
}

// Zone rows 0 through maxZoneId, indexed by zone id.
inline std::span<const ZoneRecord> ZoneRows(const ClientImage& client) {
  return {client.zones, std::min<std::size_t>(client.maxZoneId, kMaxZoneId) + 1};
}

// The ids of one letter bucket, in the order the table reader stored them.
template <std::size_t Capacity>
std::span<const std::uint16_t> BucketIds(const LetterIndex<Capacity>& index, int bucket) {
  if (bucket < 0 || static_cast<std::size_t>(bucket) >= kLetterBuckets) return {};
  return {index.ids[bucket], std::min<std::size_t>(index.count[bucket], Capacity)};
}

}  // namespace zira
