// Runs the inventory in a client folder and kills it with SIGKILL at a
// chosen moment, for the crash test (tests/crash/run):
//
//   kill_at_change <zira> <client folder> <output folder> after-ms <n> [zira argument]...
//   kill_at_change <zira> <client folder> <output folder> report-change <n> [zira argument]...
//
// after-ms kills n milliseconds after the start; report-change kills at the
// nth change (create, write, close after writing, rename into place) of
// anything in the output folder but the log and the lock file, that is while
// reports are written.
// Prints "killed <pid> <what>" or "finished <pid> <exit code>".
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// True once the run has ended; it stays waitable for its exit status.
bool Ended(pid_t child) {
  siginfo_t info{};
  return ::waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid != 0;
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Waits for the nth report change; false when the run ended first.
bool WaitForReportChange(int watch, pid_t child, long nth, std::string* what) {
  long seen = 0;
  alignas(inotify_event) char buffer[64 * 1024];
  for (;;) {
    pollfd ready{watch, POLLIN, 0};
    if (::poll(&ready, 1, 20) == 0) {
      if (Ended(child)) return false;
      continue;
    }
    const ssize_t n = ::read(watch, buffer, sizeof(buffer));
    for (ssize_t at = 0; at < n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      const std::string name = event->len > 0 ? event->name : "";
      if (name.empty() || EndsWith(name, "_ZIRA.log") || name == ".zira.lock") continue;
      if (++seen == nth) {
        *what = name;
        return true;
      }
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 6) {
    std::fprintf(stderr, "usage: kill_at_change <zira> <client> <output> after-ms|report-change <n> [arg]...\n");
    return 2;
  }
  const std::string mode = argv[4];
  const long nth = std::strtol(argv[5], nullptr, 10);
  const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (watch < 0 || ::inotify_add_watch(watch, argv[3], IN_CREATE | IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_TO) < 0) {
    std::perror("inotify");
    return 2;
  }
  const pid_t child = ::fork();
  if (child == 0) {
    if (::chdir(argv[2]) != 0) _exit(127);
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(null, 1);
    // zira's own arguments follow n; argv[5] becomes its argv[0].
    argv[5] = argv[1];
    ::execv(argv[1], argv + 5);
    _exit(127);
  }
  bool kill = false;
  std::string what = mode + " " + argv[5];
  if (mode == "after-ms") {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(nth);
    while (std::chrono::steady_clock::now() < end) {
      if (Ended(child)) break;
      ::usleep(500);
    }
    kill = !Ended(child);
  } else {
    kill = WaitForReportChange(watch, child, nth, &what);
  }
  if (kill) ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) {
    std::printf("killed %d %s\n", static_cast<int>(child), what.c_str());
  } else {
    std::printf("finished %d %d\n", static_cast<int>(child), WIFEXITED(status) ? WEXITSTATUS(status) : -1);
  }
  return 0;
}
