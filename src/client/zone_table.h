#pragma once

#include "client/client_image.h"

namespace zira {

// Reads the zone registrations of the recognized edition into the zone table
// and builds the ZoneLetterIndex. Fails when no image is loaded.
Result ReadZoneTable(ClientImage& client);

}  // namespace zira
