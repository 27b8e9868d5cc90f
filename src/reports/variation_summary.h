#pragma once
#include <cstdint>
#include <string>

#include "common/file_system.h"
#include "store/inventory.h"

namespace zira {

// Writes a model's variations in the report notation (no line end).
Result WriteVariationSummary(OutputFile* file, const ClientImage& client, const ModelDef* model);
// Writes one list: "00", then the numbers with runs folded.
Result WriteVariationList(OutputFile* file, std::uint8_t count, const std::uint8_t* numbers);
// The same summary as text, for the inventory database; empty when it writes nothing.
std::string VariationSummaryText(const ClientImage& client, const ModelDef* model);

}  // namespace zira
