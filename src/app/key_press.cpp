#include "app/key_press.h"

#include "common/platform.h"

namespace zira {

void WaitForKeyPress() { WaitForKeyOnTerminal(); }

}  // namespace zira
