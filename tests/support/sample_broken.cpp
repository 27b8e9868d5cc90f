#include "support/sample_broken.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <utility>

#include "client/client_image.h"
#include "common/byte_cursor.h"
#include "common/package_format.h"
#include "common/pe_format.h"
#include "common/world_format.h"
#include "support/package_writer.h"
#include "support/text_files.h"

namespace zira::testing {

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

namespace pf = package_format;

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return text;
}

bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The path of the file below folder whose '/'-separated name matches name
// component by component without regard to case; empty when there is none.
std::string FindFile(const std::string& folder, const std::string& name) {
  std::string path = folder;
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t slash = name.find('/', start);
    if (slash == std::string::npos) slash = name.size();
    const std::string part = Lower(name.substr(start, slash - start));
    std::error_code error;
    std::string found;
    for (const fs::directory_entry& entry : fs::directory_iterator(path, error)) {
      if (Lower(entry.path().filename().string()) == part) {
        found = entry.path().string();
        break;
      }
    }
    if (found.empty()) return {};
    path = found;
    start = slash + 1;
  }
  return path;
}

// Every regular file directly in folder whose name ends with suffix (letters folded), sorted.
std::vector<std::string> FilesEndingWith(const std::string& folder, const std::string& suffix) {
  std::vector<std::string> files;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
    if (entry.is_regular_file() && EndsWith(Lower(entry.path().filename().string()), suffix)) {
      files.push_back(entry.path().string());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

bool ReadBytes(const std::string& path, Bytes* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

// The old file goes first, so a sample linked from another folder is never
// changed through the link.
bool WriteBytes(const std::string& path, const Bytes& bytes) {
  std::error_code error;
  fs::remove(path, error);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

// Deterministic flips and garbage: the same sample breaks the same way every time.
class Noise {
 public:
  explicit Noise(const std::string& seedText) {
    for (char c : seedText) state_ = (state_ ^ static_cast<std::uint8_t>(c)) * 16777619u;
    if (state_ == 0) state_ = 1;
  }
  std::uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }

 private:
  std::uint32_t state_ = 2166136261u;
};

void FlipBits(Bytes& bytes, std::size_t from, std::size_t bytesPerFlip, const std::string& seed) {
  if (bytes.size() <= from) return;
  Noise noise(seed);
  const std::size_t span = bytes.size() - from;
  const std::size_t flips = span / bytesPerFlip + 3;
  for (std::size_t i = 0; i < flips; ++i) {
    const std::size_t at = from + noise.Next() % span;
    bytes[at] = static_cast<std::uint8_t>(bytes[at] ^ (1u << (noise.Next() % 8)));
  }
}

// ---- Packages ----

struct PackageRow {
  std::size_t at;  // file offset of the row
  std::uint32_t checksum, offset, size;
};

struct PackageLayout {
  std::vector<PackageRow> rows;  // directory order
  std::size_t afterRows = 0;
  // Rows by data offset: entries first, the name directory last.
  std::vector<PackageRow> ByOffset() const {
    std::vector<PackageRow> sorted = rows;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const PackageRow& a, const PackageRow& b) { return a.offset < b.offset; });
    return sorted;
  }
};

bool ReadLayout(const Bytes& bytes, PackageLayout* layout) {
  ByteCursor file(bytes);
  const std::uint32_t directoryOffset = file.ReadU32();
  if (file.ReadU32() != pf::kMagic || !file.Ok()) return false;
  ByteCursor directory = file.Sub(directoryOffset);
  const std::uint32_t rows = directory.ReadU32();
  if (rows == 0 || !directory.Contains(directory.Position(), std::size_t{rows} * pf::kRowSize)) return false;
  layout->rows.clear();
  for (std::uint32_t i = 0; i < rows; ++i) {
    PackageRow row{};
    row.at = directoryOffset + directory.Position();
    row.checksum = directory.ReadU32();
    row.offset = directory.ReadU32();
    row.size = directory.ReadU32();
    layout->rows.push_back(row);
  }
  layout->afterRows = directoryOffset + directory.Position();
  return true;
}

// Inflates the run of blocks at offset; false unless it yields exactly size bytes.
bool Inflate(const Bytes& bytes, std::uint32_t offset, std::uint32_t size, Bytes* out) {
  out->assign(size, 0);
  ByteCursor blocks = ByteCursor(bytes).Sub(offset);
  std::uint32_t produced = 0;
  while (produced < size && blocks.Remaining() > 0) {
    const std::uint32_t deflated = blocks.ReadU32();
    const std::uint32_t inflated = blocks.ReadU32();
    const std::span<const std::uint8_t> stream = blocks.ReadBytes(deflated);
    if (!blocks.Ok() || std::uint64_t{produced} + inflated > size) return false;
    uLongf written = inflated;
    if (uncompress(out->data() + produced, &written, stream.data(), deflated) != Z_OK) return false;
    produced += static_cast<std::uint32_t>(written);
  }
  return produced == size;
}

struct UnpackedEntry {
  std::string name;
  Bytes contents;
};

struct UnpackedPackage {
  std::vector<UnpackedEntry> entries;  // data order
  bool footer = false;
  std::uint32_t dateStamp = 0;
};

bool Unpack(const Bytes& bytes, UnpackedPackage* package) {
  PackageLayout layout;
  if (!ReadLayout(bytes, &layout)) return false;
  const std::vector<PackageRow> sorted = layout.ByOffset();
  Bytes directory;
  if (!Inflate(bytes, sorted.back().offset, sorted.back().size, &directory)) return false;
  ByteCursor names(directory);
  const std::uint32_t count = names.ReadU32();
  if (count + 1 != sorted.size()) return false;
  package->entries.clear();
  for (std::size_t k = 0; k + 1 < sorted.size(); ++k) {
    const std::uint32_t length = names.ReadU32();
    const std::span<const std::uint8_t> name = names.ReadBytes(length);
    if (length == 0 || !names.Ok()) return false;
    UnpackedEntry entry;
    entry.name.assign(reinterpret_cast<const char*>(name.data()), length - 1);
    if (!Inflate(bytes, sorted[k].offset, sorted[k].size, &entry.contents)) return false;
    package->entries.push_back(std::move(entry));
  }
  ByteCursor footer = ByteCursor(bytes).Sub(layout.afterRows, pf::kFooterSize);
  const std::span<const std::uint8_t> mark = footer.ReadBytes(pf::kFooterMarkSize);
  package->footer = footer.Ok();
  for (std::size_t i = 0; package->footer && i < pf::kFooterMarkSize; ++i) {
    package->footer = (mark[i] | 0x20) == pf::kFooterMark[i];
  }
  package->dateStamp = package->footer ? footer.ReadU32() : 0;
  return true;
}

Bytes Repack(const UnpackedPackage& package) {
  PackageWriter writer;
  for (const UnpackedEntry& entry : package.entries) writer.AddEntry(entry.name, entry.contents);
  writer.footer = package.footer;
  writer.dateStamp = package.dateStamp;
  return writer.Bytes();
}

// The packages whose paths lead through every discovery step: the per-race
// and load-list packages, a hard-coded one, imported ones of both kinds, a
// zone's own package and orphan packages of both kinds.
std::vector<std::string> TargetPaths(const std::string& folder, const std::string& suffix) {
  std::vector<std::string> paths;
  for (const std::string& name : BrokenPackageTargets()) {
    const std::string path = FindFile(folder, name);
    if (!path.empty() && EndsWith(name, suffix)) paths.push_back(path);
  }
  return paths;
}

// Applies edit to the bytes of every target package; false when none exists or an edit fails.
bool EditTargets(const std::string& folder, const std::function<bool(Bytes&, std::size_t)>& edit,
                 const std::string& suffix = "") {
  const std::vector<std::string> paths = TargetPaths(folder, suffix);
  if (paths.empty()) return false;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    Bytes bytes;
    if (!ReadBytes(paths[i], &bytes) || !edit(bytes, i) || !WriteBytes(paths[i], bytes)) return false;
  }
  return true;
}

enum class Cut { kHeader, kDirectory, kBlock, kNameDirectory };

// Cuts a package inside the part named: the cut lands in the middle of it.
bool CutPackage(Bytes& bytes, Cut cut) {
  PackageLayout layout;
  if (!ReadLayout(bytes, &layout)) return false;
  std::size_t at = 6;
  if (cut == Cut::kDirectory) {
    at = layout.rows[layout.rows.size() / 2].at + 6;
  } else if (cut != Cut::kHeader) {
    const std::vector<PackageRow> sorted = layout.ByOffset();
    const std::uint32_t offset = cut == Cut::kBlock ? sorted.front().offset : sorted.back().offset;
    at = offset + pf::kBlockHeaderSize + ByteCursor(bytes).U32At(offset) / 2;
  }
  if (at >= bytes.size()) return false;
  bytes.resize(at);
  return true;
}

bool Truncated(const std::string& folder, Cut cut) {
  return EditTargets(folder, [cut](Bytes& bytes, std::size_t) { return CutPackage(bytes, cut); });
}

// Flips bits all over every package of the folder, headers and directories included.
bool BitFlipped(const std::string& folder) {
  std::vector<std::string> paths = FilesEndingWith(folder, ".s3d");
  const std::vector<std::string> obg = FilesEndingWith(folder, ".obg");
  paths.insert(paths.end(), obg.begin(), obg.end());
  for (const std::string& path : paths) {
    Bytes bytes;
    if (!ReadBytes(path, &bytes)) return false;
    FlipBits(bytes, 0, 256, Lower(fs::path(path).filename().string()));
    if (!WriteBytes(path, bytes)) return false;
  }
  return !paths.empty();
}

bool BadMagic(const std::string& folder) {
  return EditTargets(folder, [](Bytes& bytes, std::size_t) {
    SetU32(bytes, pf::kMagicField, pf::kMagic ^ 0x01000000u);  // one bit off
    return true;
  });
}

bool ZeroOffset(const std::string& folder) {
  return EditTargets(folder, [](Bytes& bytes, std::size_t) {
    PackageLayout layout;
    if (!ReadLayout(bytes, &layout)) return false;
    SetU32(bytes, layout.rows.front().at + pf::kRowDataOffsetField, 0);
    return true;
  });
}

bool WrongChecksums(const std::string& folder) {
  return EditTargets(folder, [](Bytes& bytes, std::size_t) {
    PackageLayout layout;
    if (!ReadLayout(bytes, &layout)) return false;
    for (const PackageRow& row : layout.rows) SetU32(bytes, row.at, row.checksum ^ 0x00A5A5A5u);
    return true;
  });
}

// Rebuilds a sound package around an edited world file.
bool EditWorld(Bytes& bytes, const std::function<void(Bytes&)>& edit) {
  UnpackedPackage package;
  if (!Unpack(bytes, &package)) return false;
  bool found = false;
  for (UnpackedEntry& entry : package.entries) {
    if (EndsWith(Lower(entry.name), ".wld")) {
      edit(entry.contents);
      found = true;
    }
  }
  if (found) bytes = Repack(package);
  return found;
}

// The first target loses all but 20 bytes of its header, the others are cut
// inside the string table, in the middle of the fragments, inside the last
// fragment and inside a fragment's frame.
bool WorldCut(const std::string& folder) {
  return EditTargets(
      folder,
      [](Bytes& bytes, std::size_t index) {
        return EditWorld(bytes, [index](Bytes& world) {
          const std::size_t table = ByteCursor(world).U32At(world_format::kStringTableSizeField);
          const std::size_t fragments = std::min(world.size(), world_format::kHeaderSize + table);
          const std::size_t cuts[] = {20, world_format::kHeaderSize + table / 2 + 1, (fragments + world.size()) / 2,
                                      world.size() - 3, fragments + 6};
          world.resize(std::min(world.size(), cuts[std::min(index, std::size(cuts) - 1)]));
        });
      },
      ".s3d");
}

// Flips bits inside every world file past its magic, so the world reader and
// the scanner meet damaged counts, sizes, references and names.
bool WorldFlipped(const std::string& folder) {
  bool any = false;
  for (const std::string& path : FilesEndingWith(folder, ".s3d")) {
    Bytes bytes;
    if (!ReadBytes(path, &bytes)) return false;
    const std::string seed = Lower(fs::path(path).filename().string());
    // Packages that do not unpack (the sample's own broken ones) stay as they are.
    if (!EditWorld(bytes, [&seed](Bytes& world) { FlipBits(world, 4, 48, seed); })) continue;
    if (!WriteBytes(path, bytes)) return false;
    any = true;
  }
  return any;
}

// ---- Text files ----

enum class TextKind { kStringList, kStringDatabase, kGlobalLoad, kImportList };

bool EditTexts(const std::string& folder, const std::function<void(std::string&, TextKind)>& edit) {
  std::vector<std::pair<std::string, TextKind>> files = {
      {FindFile(folder, "obstr_us.txt"), TextKind::kStringList},
      {FindFile(folder, "dbstr_us.txt"), TextKind::kStringDatabase},
      {FindFile(folder, "resources/globalload.txt"), TextKind::kGlobalLoad},
  };
  for (const std::string& path : FilesEndingWith(folder, "_chr.txt")) files.emplace_back(path, TextKind::kImportList);
  for (const auto& [path, kind] : files) {
    if (path.empty()) return false;
    std::string text = ReadTextFile(path);
    edit(text, kind);
    if (!WriteBytes(path, Bytes(text.begin(), text.end()))) return false;
  }
  return true;
}

// Lists keep their first line (an import list its header); the string files
// get the lines at the end, where a repeated id wins.
void AddLines(std::string& text, TextKind kind, const std::string& lines) {
  const std::size_t newline = text.find('\n');
  if (kind == TextKind::kStringList || kind == TextKind::kStringDatabase || newline == std::string::npos) {
    text += "\r\n" + lines;
  } else {
    text.insert(newline + 1, lines);
  }
}

bool LongLines(const std::string& folder) {
  return EditTexts(folder, [](std::string& text, TextKind kind) {
    std::string lines = std::string(255, 'z') + "\r\n" + std::string(256, 'w') + "\r\n" + std::string(1023, 'x') +
                        "\r\n" + std::string(1024, 'y') + "\r\n" + std::string(5000, 'v') + "\r\n";
    switch (kind) {
      case TextKind::kStringList:
        // Zone 1's name text, far longer than any formatting buffer.
        lines += "1001 " + std::string(5000, 'Q') + "\r\n1002 " + std::string(300, 'A') + "\r\n";
        break;
      case TextKind::kStringDatabase:
        lines += "1^11^" + std::string(5000, 'H') + "^0\r\n1^12^" + std::string(1100, 'P') + "^0\r\n" +
                 "1^8^" + std::string(3000, 'D') + "\r\n" + std::string(2000, 'd') + "^0\r\n";
        break;
      case TextKind::kGlobalLoad:
        // Read 1023 characters at a time: the rest of this line is a line of its own.
        lines += "1,0,C," + std::string(1017, 'q') + "1,0,C,global6_chr,rest\r\n";
        lines += "1,0,C," + std::string(1500, 'p') + "_chr,rest\r\n";
        break;
      case TextKind::kImportList:
        lines += std::string(1023, 'y') + "HUF, globalhuf_chr\r\n";
        lines += "HUM," + std::string(1500, 'p') + "\r\n" + std::string(1500, 'C') + ", globalhum_chr\r\n";
        break;
    }
    AddLines(text, kind, lines);
  });
}

bool BinaryLines(const std::string& folder) {
  return EditTexts(folder, [](std::string& text, TextKind kind) {
    using namespace std::string_literals;
    std::string lines = "\x00\x01\x02\x03\x7f\x80\xfe\xff\r\n"s + "\xff\xfe,\x00,\x01,\x02,\x03,\r\n"s +
                        "\x1a\x1b\x08\t\v\f\r\n"s + "\r\r\r\n"s;
    Noise noise("binary");
    for (int i = 0; i < 400; ++i) {
      const char c = static_cast<char>(noise.Next());
      lines += c == '\n' ? ' ' : c;
    }
    lines += "\r\n";
    switch (kind) {
      case TextKind::kStringList:
        lines += "1001 \x01\xff\x00rest\r\n1002 \x80\x81\x82\r\n"s;
        break;
      case TextKind::kStringDatabase:
        lines += "1^11^Hu\x00man\xff^0\r\n2^11^\x80\x90\xa0^0\r\n^^^\x00^\xff^\r\n\x00^11^x^0\r\n"s;
        break;
      case TextKind::kGlobalLoad:
        lines += "1,0,C,glob\x01\xff" "al_chr,rest\r\n1,0,C,\x00global4_chr,rest\r\n1,\xff,C,\x80_chr,rest\r\n"s;
        lines += "1,0,C,%s%n%d_chr,rest\r\n";
        break;
      case TextKind::kImportList:
        lines += "HU\xffM, globalhum_chr\r\n\x00HUM, globalhum_chr\r\nHUM, glob\xff\x01\r\n%s%n, %s%n%p\r\n"s;
        break;
    }
    AddLines(text, kind, lines);
  });
}

std::string ReplaceLineEnds(const std::string& text, const std::string& by) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    if (text[i] == '\n' || text[i] == '\r') {
      out += by;
    } else {
      out += text[i];
    }
  }
  return out;
}

bool CrOnly(const std::string& folder) {
  return EditTexts(folder, [](std::string& text, TextKind) { text = ReplaceLineEnds(text, "\r"); });
}

bool NoLineEnds(const std::string& folder) {
  return EditTexts(folder, [](std::string& text, TextKind) { text = ReplaceLineEnds(text, ""); });
}

// Every import list's first non-blank line reads 0; a list without one gets it.
bool ImportHeaderZero(const std::string& folder) {
  return EditTexts(folder, [](std::string& text, TextKind kind) {
    if (kind != TextKind::kImportList) return;
    std::size_t start = 0;
    while (start < text.size()) {
      std::size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      if (text.find_first_not_of(" \r", start) < end) {
        text.replace(start, end - start, "0\r");
        return;
      }
      start = end + 1;
    }
    text = "0\r\n" + text;
  });
}

// Every load list line keeps at most three commas.
bool GlobalLoadFewCommas(const std::string& folder) {
  return EditTexts(folder, [](std::string& text, TextKind kind) {
    if (kind != TextKind::kGlobalLoad) return;
    int commas = 0;
    for (char& c : text) {
      if (c == '\n') commas = 0;
      if (c == ',' && ++commas > 3) c = ';';
    }
  });
}

// ---- Client and string files ----

bool ClientGarbage(const std::string& folder, unsigned editionId) {
  const ClientEdition* edition = FindEdition(editionId);
  const std::string path = FindFile(folder, "obgame.exe");
  Bytes bytes;
  if (edition == nullptr || path.empty() || !ReadBytes(path, &bytes) || bytes.size() != edition->fileSize) {
    return false;
  }
  Noise noise("registrations");
  for (const auto& [start, end] : {std::pair{edition->raceScanStart, edition->raceScanEnd},
                                   std::pair{edition->zoneScanStart, edition->zoneScanEnd}}) {
    for (std::size_t at = start; at < end && at < bytes.size(); ++at) bytes[at] = static_cast<std::uint8_t>(noise.Next());
  }
  return WriteBytes(path, bytes);
}

bool ClientTruncated(const std::string& folder) {
  const std::string path = FindFile(folder, "obgame.exe");
  Bytes bytes;
  if (path.empty() || !ReadBytes(path, &bytes)) return false;
  bytes.resize(bytes.size() / 2);
  return WriteBytes(path, bytes);
}

// The signature of the executable is gone; the size still names the edition.
bool ClientBadHeader(const std::string& folder) {
  const std::string path = FindFile(folder, "obgame.exe");
  Bytes bytes;
  if (path.empty() || !ReadBytes(path, &bytes) || bytes.size() < 2) return false;
  bytes[0] = 'Z';
  return WriteBytes(path, bytes);
}

// Of the right size, but everything from a little way into .rdata on is zero,
// as in a file cut short and padded: most texts of the registrations read empty.
bool ClientCutRdata(const std::string& folder) {
  const std::string path = FindFile(folder, "obgame.exe");
  Bytes bytes;
  if (path.empty() || !ReadBytes(path, &bytes)) return false;
  const ByteCursor image(bytes);
  const std::uint32_t header = image.U32At(pe_format::kPeOffsetField);
  const std::uint16_t sections = image.U16At(header + pe_format::kSectionCountField);
  ByteCursor table = image.Sub(header + pe_format::kSectionTableOffset);
  for (std::uint32_t i = 0; i < sections; ++i) {
    ByteCursor section = table.Take(pe_format::kSectionHeaderSize);
    const std::span<const std::uint8_t> raw = section.ReadBytes(pe_format::kSectionNameSize);
    const std::string name(raw.begin(), std::find(raw.begin(), raw.end(), std::uint8_t{0}));
    if (Lower(name) != ".rdata") continue;
    const std::size_t start = section.U32At(pe_format::kSectionRawOffsetField) +
                              std::min<std::uint32_t>(256, section.U32At(pe_format::kSectionRawSizeField));
    if (start >= bytes.size()) return false;
    std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(start), bytes.end(), std::uint8_t{0});
    return WriteBytes(path, bytes);
  }
  return false;
}

bool Remove(const std::string& folder, const std::string& name) {
  const std::string path = FindFile(folder, name);
  std::error_code error;
  return !path.empty() && fs::remove(path, error);
}

bool EmptyStrings(const std::string& folder) {
  for (const char* name : {"obstr_us.txt", "dbstr_us.txt"}) {
    const std::string path = FindFile(folder, name);
    if (path.empty() || !WriteBytes(path, {})) return false;
  }
  return true;
}

using Breaker = std::function<bool(const std::string&, unsigned)>;

const std::vector<std::pair<std::string, Breaker>>& Breakers() {
  static const std::vector<std::pair<std::string, Breaker>> breakers = {
      {"truncated-header", [](const std::string& f, unsigned) { return Truncated(f, Cut::kHeader); }},
      {"truncated-directory", [](const std::string& f, unsigned) { return Truncated(f, Cut::kDirectory); }},
      {"truncated-block", [](const std::string& f, unsigned) { return Truncated(f, Cut::kBlock); }},
      {"truncated-name-directory", [](const std::string& f, unsigned) { return Truncated(f, Cut::kNameDirectory); }},
      {"bit-flipped", [](const std::string& f, unsigned) { return BitFlipped(f); }},
      {"bad-magic", [](const std::string& f, unsigned) { return BadMagic(f); }},
      {"world-cut", [](const std::string& f, unsigned) { return WorldCut(f); }},
      {"world-flipped", [](const std::string& f, unsigned) { return WorldFlipped(f); }},
      {"zero-offset", [](const std::string& f, unsigned) { return ZeroOffset(f); }},
      {"wrong-checksums", [](const std::string& f, unsigned) { return WrongChecksums(f); }},
      {"long-lines", [](const std::string& f, unsigned) { return LongLines(f); }},
      {"binary-lines", [](const std::string& f, unsigned) { return BinaryLines(f); }},
      {"cr-only", [](const std::string& f, unsigned) { return CrOnly(f); }},
      {"no-line-ends", [](const std::string& f, unsigned) { return NoLineEnds(f); }},
      {"import-header-zero", [](const std::string& f, unsigned) { return ImportHeaderZero(f); }},
      {"globalload-few-commas", [](const std::string& f, unsigned) { return GlobalLoadFewCommas(f); }},
      {"client-garbage", [](const std::string& f, unsigned id) { return ClientGarbage(f, id); }},
      {"client-truncated", [](const std::string& f, unsigned) { return ClientTruncated(f); }},
      {"client-bad-header", [](const std::string& f, unsigned) { return ClientBadHeader(f); }},
      {"client-cut-rdata", [](const std::string& f, unsigned) { return ClientCutRdata(f); }},
      {"empty-strings", [](const std::string& f, unsigned) { return EmptyStrings(f); }},
      {"missing-obstr", [](const std::string& f, unsigned) { return Remove(f, "obstr_us.txt"); }},
      {"missing-dbstr", [](const std::string& f, unsigned) { return Remove(f, "dbstr_us.txt"); }},
      {"missing-client", [](const std::string& f, unsigned) { return Remove(f, "obgame.exe"); }},
  };
  return breakers;
}

}  // namespace

const std::vector<std::string>& BrokenVariants() {
  static const std::vector<std::string> variants = [] {
    std::vector<std::string> names;
    for (const auto& breaker : Breakers()) names.push_back(breaker.first);
    return names;
  }();
  return variants;
}

const std::vector<std::string>& BrokenPackageTargets() {
  static const std::vector<std::string> targets = {
      "globalhum_chr.s3d", "global7_chr.s3d", "irpack.s3d", "ors_chr.s3d",
      "abc_chr.s3d",       "global4_chr.obg", "gobpack.obg", "orp.obg",
  };
  return targets;
}

bool BreakSampleClient(const std::string& folder, unsigned editionId, const std::string& variant) {
  for (const auto& [name, breaker] : Breakers()) {
    if (name == variant) return breaker(folder, editionId);
  }
  return false;
}

}  // namespace zira::testing
