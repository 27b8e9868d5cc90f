#pragma once

namespace zira {

// Standard output, with plain newlines. Everything a run prints goes through
// its console. The console is not an output of the run: once a write to it
// fails (a reader that went away, a full disk behind a redirection), it is
// left alone for the rest of the run and nothing else changes.
class Console {
 public:
  // Starts with standard output's error mark cleared, so an earlier run's
  // broken console does not silence this one.
  Console();
  void Print(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void Write(const char* text);
  bool Broken() const { return broken_; }

 private:
  void Check();
  bool broken_ = false;
};

// Called first in main. A standard stream closed by the caller is opened on
// /dev/null, so no file of the run gets its number and takes its text; a
// closed pipe or a file-size limit turns into a failed write, not a signal.
void PrepareProcess();

}  // namespace zira
