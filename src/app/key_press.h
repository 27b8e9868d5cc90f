#pragma once

namespace zira {

// Waits for one key, read without echo, when standard input is a terminal;
// scripts and tests go on at once.
void WaitForKeyPress();

}  // namespace zira
