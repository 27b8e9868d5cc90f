#include "discovery/package_names.h"

#include "common/capacities.h"
#include "discovery_fixture.h"

namespace zira {
namespace {

TEST(PackageNames, TypeFollowsTheEndingLettersFolded) {
  const std::pair<const char*, PackageType> cases[] = {
      {"a.obg", PackageType::kObg},     {"GLOBAL_CHR.OBG", PackageType::kObg}, {"abc_chr.S3d", PackageType::kS3d},
      {"obg", PackageType::kOther},     {"a.s3d.txt", PackageType::kOther},    {"", PackageType::kOther},
      {nullptr, PackageType::kOther},
  };
  for (const auto& [name, type] : cases) EXPECT_EQ(PackageTypeOf(name), type) << (name ? name : "(none)");
}

class ResolvePackageNameTest : public testing::DiscoveryTest {};

TEST_F(ResolvePackageNameTest, ObgBeforeS3dAndExtensionsAsWritten) {
  Write("Both.OBG");
  Write("both.s3d");
  Write("only.s3d");
  char buffer[kPathCapacity];
  EXPECT_STREQ(ResolvePackageName(run_.files, "both", buffer, sizeof buffer), "both.obg");
  EXPECT_STREQ(ResolvePackageName(run_.files, "only", buffer, sizeof buffer), "only.s3d");
  EXPECT_EQ(ResolvePackageName(run_.files, "none", buffer, sizeof buffer), nullptr);
  const char* dotted = "missing.s3d";  // existence is the caller's question
  EXPECT_EQ(ResolvePackageName(run_.files, dotted, buffer, sizeof buffer), dotted);
}

}  // namespace
}  // namespace zira
