#pragma once

namespace zira {

// The fixed names of the files the run reads and writes.
inline constexpr const char* kZonePageName = "OBZones.htm";
inline constexpr const char* kDefaultOutputPath = "ZIRA";
inline constexpr const char* kZoneListName = "OBZoneInfo_DB.txt";
inline constexpr const char* kClientFileName = "obgame.exe";
inline constexpr const char* kRaceListName = "OBRaces_ModelCodes_DB.txt";
inline constexpr const char* kDefaultWorkingPath = ".";
inline constexpr const char* kConfigFileName = "ZIRA.ini";
inline constexpr const char* kGlobalLoadListName = "Resources\\GlobalLoad.txt";
inline constexpr const char* kRacePageName = "OBRaces.htm";
inline constexpr const char* kStringDatabaseName = "dbstr_us.txt";
inline constexpr const char* kLogFileName = "ZIRA.log";
inline constexpr const char* kStringListName = "obstr_us.txt";

}  // namespace zira
