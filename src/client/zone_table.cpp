#include "client/zone_table.h"

namespace zira {

Result ReadZoneTable(ClientImage& client) { return client.image ? S_OK : E_FAIL; }

}  // namespace zira
