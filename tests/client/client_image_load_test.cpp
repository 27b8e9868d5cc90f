#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "client/client_image.h"
#include "common/file_system.h"
#include "common/machine_refusal.h"
#include "common/pe_format.h"
#include "store/inventory.h"
#include "support/client_image_writer.h"
#include "support/temp_dir.h"

namespace zira {
namespace {

using testing::ClientImageOptions;
using testing::ClientImageWriter;

class ClientImageTest : public ::testing::Test {
 protected:
  ClientImage& Client() { return store_->client; }
  Result LoadFrom(const ClientImageWriter& writer) { return LoadClientImageFromBytes(Client(), writer.Bytes()); }
  const std::unique_ptr<Inventory> store_ = std::make_unique<Inventory>();
};

TEST_F(ClientImageTest, RecognizesEveryEditionByItsExactSizeAndLocatesRdata) {
  for (std::uint32_t id = 1; id <= 3; ++id) {
    ClientImageWriter writer(id);
    ASSERT_EQ(LoadFrom(writer), ResultCode::kOk) << id;
    EXPECT_EQ(Client().editionId, id);
    EXPECT_EQ(Client().imageSize, FindEdition(id)->fileSize);
    EXPECT_STREQ(Client().editionShort, FindEdition(id)->editionShort);
    EXPECT_EQ(Client().rdataStart, writer.RdataStartAddress());
    EXPECT_EQ(Client().rdataEnd, writer.RdataEndAddress());
    EXPECT_EQ(Client().rdataFileOffset, writer.RdataOffset());
    EXPECT_EQ(Client().zoneAltTarget, FindEdition(id)->zoneAltTarget);
  }
}

TEST_F(ClientImageTest, RejectsSizesOneByteOffAndBrokenHeaders) {
  const ClientImageOptions broken[] = {
      {.sizeDelta = 1},
      {.sizeDelta = -1},
      {.mzSignature = false},
      {.peSignature = false},
      {.peOffset = 0x7FFFFFF0},
      {.sectionCount = 0xFFFF, .rdataName = ".text2"},
      {.rdataName = ".rdatax"},
      {.rdataName = ".rdat"},
  };
  for (const ClientImageOptions& options : broken) {
    ClientImageWriter writer(1, options);
    EXPECT_TRUE(Failed(LoadFrom(writer)));
    // A failed load leaves nothing behind.
    EXPECT_EQ(Client().editionShort, nullptr);
    EXPECT_EQ(Client().image, nullptr);
    EXPECT_EQ(Client().raceCount, 0);
    EXPECT_EQ(Client().zoneCount, 0);
  }
}

TEST_F(ClientImageTest, AcceptsTheSectionNameInCapitals) {
  ClientImageWriter writer(2, {.rdataName = ".RDATA"});
  EXPECT_EQ(LoadFrom(writer), ResultCode::kOk);
}

TEST_F(ClientImageTest, AddressesMapIntoRdataAndStayInsideTheImage) {
  ClientImageWriter writer(1);
  const std::uint32_t address = writer.AddText("hum");
  ASSERT_EQ(LoadFrom(writer), ResultCode::kOk);
  EXPECT_STREQ(ImageAddressToText(Client(), address), "hum");
  EXPECT_TRUE(IsRdataAddress(Client(), writer.RdataEndAddress()));
  EXPECT_FALSE(IsRdataAddress(Client(), writer.RdataEndAddress() + 1));
  EXPECT_FALSE(IsRdataAddress(Client(), writer.RdataStartAddress() - 1));

  // A section that claims more raw data than the file holds: texts beyond the
  // file's end are empty rather than read out of range.
  ClientImageWriter tail(1);
  // Raw data offset near the end.
  tail.PutU32(tail.SectionHeaderOffset(1) + pe_format::kSectionRawOffsetField, FindEdition(1)->fileSize - 2);
  ASSERT_EQ(LoadFrom(tail), ResultCode::kOk);
  const char* last = ImageAddressToText(Client(), tail.RdataStartAddress() + 1);
  EXPECT_EQ(std::strlen(last), 0u);
  EXPECT_EQ(std::strlen(ImageAddressToText(Client(), tail.RdataEndAddress())), 0u);
}

TEST_F(ClientImageTest, IdentifiesEditionsFromFilesWithoutOpeningThem) {
  testing::TempDir dir;
  MachineRefusals refusals;
  ClientFolder files(dir.Path(), refusals);
  EXPECT_EQ(IdentifyEdition(files, "obgame.exe"), 0u);
  ClientImageWriter(3).WriteTo((dir / "OBGame.exe").c_str());
  files.ForgetListings();
  EXPECT_EQ(IdentifyEdition(files, "obgame.exe"), 3u);
  ASSERT_EQ(LoadClientImage(files, Client()), ResultCode::kOk);
  EXPECT_STREQ(Client().path, "obgame.exe");
  EXPECT_STREQ(Client().editionLong, "Mistkeep (v2)");
}

}  // namespace
}  // namespace zira
