#include "support/temp_dir.h"

#include <filesystem>
#include <random>

namespace zira::testing {

TempDir::TempDir(const std::string& base) {
  const std::filesystem::path folder = base.empty() ? std::filesystem::temp_directory_path() : std::filesystem::path(base);
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device seed;
  std::mt19937 random(seed());
  std::uniform_int_distribution<std::size_t> pick(0, sizeof(kLetters) - 2);
  // Made with create_directory, which fails on a name already there, like mkdtemp.
  for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
    std::string name = "zira-test-";
    for (int i = 0; i < 6; ++i) name += kLetters[pick(random)];
    std::error_code error;
    if (std::filesystem::create_directory(folder / name, error)) path_ = (folder / name).string();
  }
}

TempDir::~TempDir() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::MakeDir(const std::string& name) const {
  const std::string path = path_ + "/" + name;
  std::filesystem::create_directories(path);
  return path;
}

ScopedChdir::ScopedChdir(const std::string& path) {
  previous_ = std::filesystem::current_path().string();
  std::filesystem::current_path(path);
}

ScopedChdir::~ScopedChdir() {
  std::error_code ignored;
  std::filesystem::current_path(previous_, ignored);
}

std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace zira::testing
