#pragma once
#include <cstdint>
#include <span>
#include <string>

#include "common/file_system.h"
#include "store/inventory.h"

namespace zira {

// Writes a model's variations in the report notation (no line end).
Result WriteVariationSummary(OutputFile* file, const ClientImage& client, const ModelDef* model);
// The same as shown for raceId, whatever race the model carries now.
Result WriteVariationSummaryAs(OutputFile* file, const ClientImage& client, const ModelDef* model,
                               std::uint32_t raceId);
// Writes one list: "00", then the numbers with runs folded.
Result WriteVariationList(OutputFile* file, std::span<const std::uint8_t> numbers);
// The same summary as text, for the inventory database; empty when it writes nothing.
std::string VariationSummaryText(const ClientImage& client, const ModelDef* model);

}  // namespace zira
