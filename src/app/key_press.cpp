#include "app/key_press.h"

#include <termios.h>
#include <unistd.h>

namespace zira {

void WaitForKeyPress() {
  if (::isatty(STDIN_FILENO) == 0) return;
  termios saved {};
  if (::tcgetattr(STDIN_FILENO, &saved) != 0) return;
  termios raw = saved;
  raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  ::tcsetattr(STDIN_FILENO, TCSANOW, &raw);
  char key = 0;
  [[maybe_unused]] const ssize_t got = ::read(STDIN_FILENO, &key, 1);
  ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
}

}  // namespace zira
