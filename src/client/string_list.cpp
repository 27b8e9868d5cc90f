#include "client/string_list.h"

namespace zira {

Result LoadStringList(StringList&) { return S_OK; }

const char* StringListText(const StringList&, std::uint16_t) { return nullptr; }

}  // namespace zira
