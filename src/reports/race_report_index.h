#pragma once
#include <cstdint>
#include <vector>

#include "store/inventory.h"

namespace zira {

// Lists gathered once before the race page is written, so that it visits, for
// each race, only the sources that can hold it and, for each source, only the
// zones that use it, instead of every source for every race and every zone
// for every source. Both lists are in ascending row order, the order of the
// full walks they replace, and callers still apply their own tests to each
// entry: the lists only leave out rows those tests would refuse.
struct RaceReportIndex {
  // By race id: source rows with a model of one of the race's codes or one
  // that carries the race. A lookup can only move a model to a race whose
  // code it has, so the list stays complete while the page is written.
  std::vector<std::vector<std::uint16_t>> sourcesOfRace;
  // By source row: ids of the zones whose own packages or imports use it.
  std::vector<std::vector<std::uint16_t>> zonesOfSource;
};

void BuildRaceReportIndex(const Inventory& inventory, RaceReportIndex* index);

}  // namespace zira
