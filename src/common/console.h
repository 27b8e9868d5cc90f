#pragma once

namespace zira {

// Standard output, with plain newlines. Everything the run prints goes through here.
void ConsolePrint(const char* format, ...) __attribute__((format(printf, 1, 2)));
void ConsoleWrite(const char* text);

}  // namespace zira
