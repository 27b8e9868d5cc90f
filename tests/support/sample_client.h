#pragma once
#include <string>

namespace zira::testing {

// Writes one sample client per edition into folder/<edition short name>.
// variant names a way to break the clients (empty: sound clients).
bool WriteSampleClients(const std::string& folder, const std::string& variant);

// Writes the sample client of one edition into folder.
bool WriteSampleClient(const std::string& folder, unsigned editionId, const std::string& variant);

}  // namespace zira::testing
