#pragma once
#include <cstdint>
#include <span>

#include "common/file_system.h"
#include "store/inventory.h"

namespace zira {

// Writes a model's variations in the report notation (no line end).
Result WriteVariationSummary(OutputFile* file, const ClientImage& client, const ModelDef* model);
// Writes one list: "00", then the numbers with runs folded.
Result WriteVariationList(OutputFile* file, std::span<const std::uint8_t> numbers);

}  // namespace zira
