#include "support/sample_content.h"

namespace zira::testing {

const std::vector<SampleRace>& SampleRaces() {
  static const std::vector<SampleRace> races = {
      // Playable races with male and female codes.
      {"HUM", 1, 0}, {"HUF", 1, 1}, {"BOM", 2, 0}, {"BOF", 2, 1}, {"ESM", 3, 0}, {"ESF", 3, 1},
      {"ELM", 4, 0}, {"ELF", 4, 1}, {"HSM", 5, 0}, {"HSF", 5, 1}, {"DUM", 6, 0}, {"DUF", 6, 1},
      {"GEM", 12, 0}, {"GEF", 12, 1}, {"IRM", 128, 0}, {"IRF", 128, 1}, {"KAM", 130, 0}, {"KAF", 130, 1},
      {"FNM", 330, 0}, {"DSM", 522, 0}, {"DSF", 522, 1},
      // A later registration of the same race and gender wins.
      {"HUX", 7, 0}, {"hux2", 7, 0},
      // Non-playable races: one code, the same text for two genders, a code
      // shared with another race, an empty code, a code starting with a digit.
      {"GOB", 50, 2}, {"SKE", 60, 0}, {"SKE", 60, 2}, {"ELM", 70, 2}, {"", 80, 2}, {"2GB", 90, 2},
      // Races with their own rules for packaged model files.
      {"CHM", 431, 2}, {"RAT", 433, 2}, {"SPI", 456, 2}, {"WOL", 465, 2}, {"KOB", 474, 2}, {"BEA", 492, 2},
      {"vaf", 497, 1}, {"SNA", 566, 2}, {"FIS", 569, 2}, {"ORC", 580, 2}, {"FLG", 586, 2},
      // More races with "bd" rules, and one whose texture files carry another code.
      {"LIZ", 439, 2}, {"KNI", 445, 2}, {"TRE", 458, 2}, {"GOL", 468, 2}, {"GRF", 548, 2},
      // Codes no global or zone package holds. ORS twice finds its package
      // twice; the twins' codes lie in two packages that no zone uses; BRK's
      // package does not open.
      {"ORP", 100, 2}, {"ORS", 101, 0}, {"ORS", 101, 2}, {"LOS", 102, 0}, {"LOS", 102, 2}, {"NOP", 103, 0},
      {"LOS", 104, 1}, {"TWM", 105, 0}, {"TWF", 105, 1}, {"BRK", 106, 2},
      // Race 0 is stored but never looked up; 2500 is the highest race id.
      {"ZER", 0, 0}, {"MAX", 2500, 0},
  };
  return races;
}

std::vector<SampleZone> SampleZones(unsigned editionId) {
  const bool alt = editionId == 3;
  const std::string longNick(56, 'w');
  return {
      {0, "nodus", "The Nodus", 0, 0, 0, 0, 0, 0, false},
      {1, "QUARRY", "South Quarry", 0, 1001, 0x4, 0, 0, 1, false},
      {2, "abc", "Abc Caverns", 1, 1002, 0x10, 7, 0, 0, false},
      {3, "fairhold", "West Fairhold", 2, 1003, 0x80000000u, 0xFFFFFFFFu, 5, 10, false},
      {4, "kelp", "Kelp Old", 3, 0, 0, 0, 0, 0, false},
      {4, "kelp", "Kelp Shallows", 4, 1004, 0x1, 0, 0, 0, false},
      {5, "emptyzone", "Empty Zone", 1, 0, 0, 0, 0, 0, alt},
      {6, "importer", "Import Hall", 2, 1005, 0, 0, 0, 0, alt},
      {7, "badheader", "Bad Header", 2, 0, 0, 0, 0, 0, false},
      {8, "noheader", "No Header", 2, 0, 0, 0, 0, 0, false},
      {9, "blanklist", "Blank List", 2, 0, 0, 0, 0, 0, false},
      {10, "skelzone", "Bone Pit", 300, 0, 0, 0, 0, 300, false},
      {11, "busy", "Busy Market", 5, 0, 0, 0, 0, 0, alt},
      {20, "deep", "Deep Below", 12, 0, 0x7FFFFFFF, 0, 0, 0, false},
      {30, "", "Nameless Reach", 0, 0, 0, 0, 0, 0, false},
      {40, longNick, "Long Nick", 1, 0, 0, 0, 0, 0, false},
      {41, "9lives", "Nine Lives", 11, 0, 0, 0, 0, 0, false},
      {1500, "edge", "Edge of the World", 3, 70000, 0, 0, 0, 0, false},
  };
}

namespace {

std::string StringList() {
  return "ObStr header\r\n"
         "1001 South Quarry\r\n"
         "1002 Caverns of Abc\r\n"
         "1003 Fairhold City\r\n"
         "1004\tTabbed text\r\n"
         "1005\r\n"
         "1003   Fairhold Town  \r\n"
         "0 zero is no id\r\n"
         "65000 too high\r\n"
         "4464 Cut to sixteen bits\r\n"
         "64999 The last id\r\n"
         "\r\n"
         "2000 No line end at the end";
}

std::string StringDatabase(unsigned editionId) {
  std::string text =
      "1^11^Human^0\r\n"
      "1^12^Humans^0\r\n"
      "1^8^Humans are found everywhere.\r\n"
      "They adapt to any land.\r\n"
      "2^11^Borderer^0\r\n2^12^Borderfolk^0\r\n2^8^^0\r\n"
      "3^11^Esker^0\r\n3^12^Eskers^0\r\n3^8^Dwellers of the ridges.^0\r\n"
      "4^11^Thornling^0\r\n4^12^Thornlings^0\r\n"
      "5^11^Sunward^0\r\n5^12^Sunward^0\r\n"
      "6^11^Duskborn^0\r\n6^12^Duskborn^0\r\n"
      "7^11^Hearthling^0\r\n7^12^Hearthlings^0\r\n"
      "12^11^Gearling^0\r\n12^12^Gearlings^0\r\n"
      "128^11^Ironhide^0\r\n128^12^Ironhide^0\r\n"
      "130^11^Kestrel Kin^0\r\n130^12^Kestrel Kin^0\r\n"
      "330^11^Fenwalker^0\r\n330^12^Fenwalkers^0\r\n"
      "522^11^Dawnscale^0\r\n522^12^Dawnscale^0\r\n522^8^Heirs of the old wyrms.^0\r\n"
      "50^11^Goblin^0\r\n50^12^Goblins^0\r\n"
      "60^11^Skeleton^0\r\n"
      "70^11^Elemental^0\r\n70^12^^0\r\n"
      "80^12^Phantoms^0\r\n"
      "431^11^Chimera^0\r\n433^11^Rat^0\r\n456^11^Spider^0\r\n465^11^Wolf^0\r\n474^11^Kobold^0\r\n"
      "492^11^Bear^0\r\n497^11^Vampire^0\r\n566^11^Snake^0\r\n569^11^Fish^0\r\n580^11^Orc^0\r\n"
      "586^11^Flag^0\r\n"
      "439^11^Lizard^0\r\n445^11^Knight^0\r\n458^11^Treant^0\r\n468^11^Golem^0\r\n548^11^Griffin^0\r\n"
      "100^11^Orphan^0\r\n101^11^Stray^0\r\n102^11^Lost One^0\r\n105^11^Twin^0\r\n106^11^Broken^0\r\n"
      "2500^11^Last Race^0\r\n"
      "0^11^Race Zero^0\r\n"
      "00^11^Not an id^0\r\n"
      "x^11^Not an id either^0\r\n"
      "9^256^Type too large^0\r\n"
      "9^-1^Negative type^0\r\n"
      "3000000000^1^A very high id^0\r\n";
  // Edition 1 names its expansions itself; the others read them from here.
  text += "0^20^Ombrith Classic^0\r\n1^20^Ashen Reach^0\r\n2^20^Frozen Crown^0\r\n";
  if (editionId != 1) text += "3^20^Veil of Ostra^0\r\n12^20^Twelfth Tide^0\r\n";
  text += "5^20^^0\r\n";
  text += "99^1^The last record runs to the end";
  return text;
}

std::string GlobalLoadList() {
  const std::string longName(60, 'g');
  return "# package list: edition, flags, loader, package\r\n"
         "1,0,C,global4_chr,rest\r\n"
         "2,0,C,global6_chr,rest\r\n"
         "1,0,A,global3_chr2,rest\r\n"
         "1,0,C, Missing_chr ,rest\r\n"
         "1,0,C,missing.obg,rest\r\n"
         "1,0,C,sounds.wav,rest\r\n"
         "1,0,C,global7_chr.s3d,rest\r\n"
         "1,0,C,broken_chr,rest\r\n"
         "1,0,C," + longName + "_chr,rest\r\n"
         "1,0,C,,rest\r\n"
         "   \r\n"
         "1,0,C,global4_chr\r\n"
         "1,0,C,globalhum_chr,extra,fields\r\n"
         "3,0,C,GEAR_chr2,x\r\n";
}

}  // namespace

std::vector<SampleFile> SampleTextFiles(unsigned editionId) {
  std::vector<SampleFile> files = {
      {"obstr_us.txt", StringList()},
      {"DBStr_US.txt", StringDatabase(editionId)},
      {"Resources/GlobalLoad.TXT", GlobalLoadList()},
      // The import list of zone 6 reaches every outcome of an entry.
      {"Importer_chr.txt",
       "  8\r\n"
       "\r\n"
       "HUM, globalhum_chr\r\n"
       "zzz, nothing\r\n"
       "ELF, missingpkg\r\n"
       "ELF, elfpack.s3d\r\n"
       "gob , gobpack\r\n"
       "GOB,GOBPACK\r\n"
       "a line without a comma\r\n"
       "DUM, sounds.wav\r\n"
       "DUF, abc_chr\r\n"
       "HUF, nopack.obg\r\n"
       "KAM, gobpack.obg\r\n"
       "SKE, " + std::string(60, 'g') + "_chr.obg\r\n"},
      {"abc_chr.txt", "1\r\nIRM, irpack\r\n"},
      {"badheader_chr.txt", "\r\n0\r\nHUM, globalhum_chr\r\n"},
      {"noheader_chr.txt", "none\r\nHUM, globalhum_chr\r\n"},
      {"blanklist_chr.txt", "\r\n   \r\n\r\n"},
      // One gender of a zone's local source imported into another zone.
      {"Busy_CHR.txt", "4\r\nHUM,globalhum_chr\r\nHUF,globalhuf_chr\r\nBOM,globalbom_chr\r\nHSM,abc_chr2.s3d\r\n"},
      {"sounds.wav", "RIFF"},
      // Zone 40's nick makes an import list name longer than allowed.
      {std::string(56, 'w') + "_chr.txt", "1\r\nHUM, globalhum_chr\r\n"},
  };
  return files;
}

}  // namespace zira::testing
