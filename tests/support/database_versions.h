#pragma once

namespace zira::testing {

// Turns an inventory database of today's schema into one as the first release
// wrote it: without what version 2 added, and without zira's mark.
inline constexpr const char* kDowngradeToFirstRelease =
    "DROP VIEW availability_by_zone; DROP INDEX zones_expansion; DROP TABLE expansions;"
    "ALTER TABLE races DROP COLUMN description; ALTER TABLE zones DROP COLUMN string_id;"
    "ALTER TABLE zones DROP COLUMN string_name; ALTER TABLE zones DROP COLUMN min_level;"
    "ALTER TABLE zones DROP COLUMN unknown7; ALTER TABLE zones DROP COLUMN unknown8;"
    "PRAGMA user_version = 1; PRAGMA application_id = 0;";

}  // namespace zira::testing
