#pragma once

namespace zira {

// Standard output, with plain newlines. Everything the run prints goes through here.
void ConsolePrint(const char* format, ...) __attribute__((format(printf, 1, 2)));
void ConsoleWrite(const char* text);

// The console is not an output of the run: once a write to it fails (a
// reader that went away, a full disk behind a redirection), it is left alone
// for the rest of the process and nothing else changes.
bool ConsoleBroken();
void ResetConsole();

// Called first in main. A standard stream closed by the caller is opened on
// /dev/null, so no file of the run gets its number and takes its text; a
// closed pipe or a file-size limit turns into a failed write, not a signal.
void PrepareProcess();

}  // namespace zira
