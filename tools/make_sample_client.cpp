#include <cstdio>
#include <string>

#include "support/sample_client.h"

// Writes the sample client of every edition below the given folder.
int main(int argc, char** argv) {
  const std::string folder = argc > 1 ? argv[1] : "sample";
  const std::string variant = argc > 2 ? argv[2] : "";
  if (!zira::testing::WriteSampleClients(folder, variant)) {
    std::fprintf(stderr, "make_sample_client: could not write the sample clients into %s\n", folder.c_str());
    return 1;
  }
  return 0;
}
