#include "support/sample_client.h"

#include <sys/stat.h>

#include <string>

#include "client/client_image.h"
#include "support/client_image_writer.h"
#include "support/text_files.h"

namespace zira::testing {

bool WriteSampleClient(const std::string& folder, unsigned editionId, const std::string& variant) {
  (void)variant;
  ::mkdir(folder.c_str(), 0777);
  ClientImageWriter image(editionId);
  if (!image.WriteTo((folder + "/obgame.exe").c_str())) return false;
  WriteTextFile(folder + "/obstr_us.txt", "1 Sample\r\n");
  WriteTextFile(folder + "/dbstr_us.txt", "1^11^Human^0\r\n");
  return true;
}

bool WriteSampleClients(const std::string& folder, const std::string& variant) {
  ::mkdir(folder.c_str(), 0777);
  for (const ClientEdition& edition : kEditionTable) {
    if (!WriteSampleClient(folder + "/" + edition.editionShort, edition.editionId, variant)) return false;
  }
  return true;
}

}  // namespace zira::testing
