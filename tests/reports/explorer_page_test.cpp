// The texts the explorer page carries: escaped so that no text can end its
// script element or be read as anything but the bytes it holds.
#include "reports/explorer_page.h"

#include <gtest/gtest.h>

#include <string>

namespace zira {
namespace {

TEST(JsonTextTest, EveryByteThatCouldEndTheScriptOrBreakTheStringIsEscaped) {
  const struct {
    std::string bytes;
    const char* json;
  } kCases[] = {
      {"Kaelar", R"("Kaelar")"},
      {"</script><b>", R"("\u003c/script\u003e\u003cb\u003e")"},
      {"<!--&amp;", R"("\u003c!--\u0026amp;")"},
      {"say \"hi\" \\", R"("say \"hi\" \\")"},
      {std::string("a\0b\r\n\t\x7f", 7), R"("a\u0000b\u000d\u000a\u0009\u007f")"},
      // Bytes from 0x80 up are Latin-1 code points, never invalid UTF-8 in the page.
      {"\xe9\xff\x80\xe2\x80\xa8", R"("\u00e9\u00ff\u0080\u00e2\u0080\u00a8")"},
  };
  for (const auto& c : kCases) EXPECT_EQ(JsonText(c.bytes), c.json) << c.json;
}

}  // namespace
}  // namespace zira
