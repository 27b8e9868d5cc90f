#include "client/string_database.h"

namespace zira {

Result LoadStringDatabase(StringDatabase&) { return S_OK; }

const char* StringDatabaseText(const StringDatabase&, std::uint32_t, std::uint32_t) { return nullptr; }

}  // namespace zira
