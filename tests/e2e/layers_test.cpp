// Each folder below src/ is a layer and may include only its own folder and
// the layers it uses, all beneath it; one upward include brings back a cycle,
// and a use outside the graph (the readers reaching into the store) ties a
// layer to one it must not know.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr std::array<const char*, 7> kLayers = {"common",    "client",  "store", "packages",
                                                 "discovery", "reports", "app"};

int LayerOf(const std::string& folder) {
  const auto it = std::find(kLayers.begin(), kLayers.end(), folder);
  return it == kLayers.end() ? -1 : static_cast<int>(it - kLayers.begin());
}

// The layers each layer uses besides itself, as CMakeLists.txt links them.
bool Uses(int own, int used) {
  static const std::array<std::vector<std::string>, 7> kUses = {{
      {},
      {"common"},
      {"client", "common"},
      {"client", "common"},
      {"store", "packages", "client", "common"},
      {"store", "client", "common"},
      {"reports", "discovery", "store", "packages", "client", "common"},
  }};
  if (own == used) return true;
  const auto& uses = kUses[static_cast<std::size_t>(own)];
  return std::find(uses.begin(), uses.end(), kLayers[static_cast<std::size_t>(used)]) != uses.end();
}

// "file: include" for every include of a project header from a higher layer
// or from a layer outside the graph.
std::vector<std::string> UpwardIncludes(const fs::path& source) {
  static const std::regex kInclude(R"re(^\s*#\s*include\s*"([a-z_]+)/)re");
  std::vector<std::string> found;
  for (const auto& entry : fs::recursive_directory_iterator(source)) {
    if (!entry.is_regular_file()) continue;
    const fs::path relative = fs::relative(entry.path(), source);
    const int own = LayerOf(relative.begin()->string());
    std::ifstream in(entry.path());
    std::string line;
    std::smatch match;
    while (std::getline(in, line)) {
      if (!std::regex_search(line, match, kInclude)) continue;
      const int used = LayerOf(match[1].str());
      if (own < 0 || used < 0 || !Uses(own, used)) found.push_back(relative.generic_string() + ": " + line);
    }
  }
  std::sort(found.begin(), found.end());
  return found;
}

// "file: include" for every include of an operating system's header outside
// the platform files, so that all the rest builds unchanged on every platform.
std::vector<std::string> SystemIncludesOutsidePlatform(const fs::path& source) {
  static const std::regex kSystem(
      R"re(^\s*#\s*include\s*<(unistd|fcntl|dirent|termios|signal|csignal|windows|io|conio|sys/\w+)(\.h)?>)re");
  static const std::array<std::string, 2> kPlatformFiles = {"common/platform_posix.cpp",
                                                            "common/platform_windows.cpp"};
  std::vector<std::string> found;
  for (const auto& entry : fs::recursive_directory_iterator(source)) {
    if (!entry.is_regular_file()) continue;
    const std::string relative = fs::relative(entry.path(), source).generic_string();
    if (std::find(kPlatformFiles.begin(), kPlatformFiles.end(), relative) != kPlatformFiles.end()) continue;
    std::ifstream in(entry.path());
    std::string line;
    while (std::getline(in, line)) {
      if (std::regex_search(line, kSystem)) found.push_back(relative + ": " + line);
    }
  }
  std::sort(found.begin(), found.end());
  return found;
}

TEST(LayersTest, NoSourceIncludesALayerAboveItsOwn) {
  EXPECT_EQ(UpwardIncludes(fs::path(ZIRA_SOURCE_DIR) / "src"), std::vector<std::string>{});
}

TEST(LayersTest, TheCheckSeesAnUpwardInclude) {
  const fs::path root = fs::temp_directory_path() / "zira_layers_test";
  fs::remove_all(root);
  fs::create_directories(root / "store");
  fs::create_directories(root / "reports");
  fs::create_directories(root / "packages");
  std::ofstream(root / "store" / "a.cpp") << "#include \"common/text.h\"\n#include \"reports/x.h\"\n";
  std::ofstream(root / "reports" / "x.h") << "#include \"store/inventory.h\"\n#include <vector>\n";
  std::ofstream(root / "packages" / "b.cpp") << "#include \"client/gender.h\"\n#include \"store/inventory.h\"\n";
  EXPECT_EQ(UpwardIncludes(root), (std::vector<std::string>{"packages/b.cpp: #include \"store/inventory.h\"",
                                                            "store/a.cpp: #include \"reports/x.h\""}));
  fs::remove_all(root);
}

TEST(LayersTest, OnlyThePlatformFilesIncludeSystemHeaders) {
  EXPECT_EQ(SystemIncludesOutsidePlatform(fs::path(ZIRA_SOURCE_DIR) / "src"), std::vector<std::string>{});
}

TEST(LayersTest, TheCheckSeesASystemInclude) {
  const fs::path root = fs::temp_directory_path() / "zira_platform_includes_test";
  fs::remove_all(root);
  fs::create_directories(root / "common");
  fs::create_directories(root / "app");
  std::ofstream(root / "common" / "platform_posix.cpp") << "#include <unistd.h>\n#include <sys/file.h>\n";
  std::ofstream(root / "common" / "file_system.cpp") << "#include <cstdio>\n#include <sys/stat.h>\n";
  std::ofstream(root / "app" / "key_press.cpp") << "#include <string>\n# include <termios.h>\n#include <csignal>\n";
  EXPECT_EQ(SystemIncludesOutsidePlatform(root),
            (std::vector<std::string>{"app/key_press.cpp: # include <termios.h>", "app/key_press.cpp: #include <csignal>",
                                      "common/file_system.cpp: #include <sys/stat.h>"}));
  fs::remove_all(root);
}

}  // namespace
