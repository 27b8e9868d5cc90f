#include <cstdio>
#include <string>

#include "support/sample_broken.h"
#include "support/sample_client.h"

// Writes the sample client of every edition below the given folder, broken
// as the variant says; --variants lists the variants, one a line.
int main(int argc, char** argv) {
  const std::string folder = argc > 1 ? argv[1] : "sample";
  if (folder == "--variants") {
    for (const std::string& variant : zira::testing::BrokenVariants()) std::printf("%s\n", variant.c_str());
    return 0;
  }
  const std::string variant = argc > 2 ? argv[2] : "";
  if (!zira::testing::WriteSampleClients(folder, variant)) {
    std::fprintf(stderr, "make_sample_client: could not write the sample clients into %s\n", folder.c_str());
    return 1;
  }
  return 0;
}
