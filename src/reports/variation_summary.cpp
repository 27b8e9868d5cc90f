#include "reports/variation_summary.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "store/model_registry.h"

namespace zira {

namespace {

constexpr std::uint32_t kHeritageRace = 522;

// Collects what the summary writes, so that the database holds the very text the pages print.
class TextOutput {
 public:
  void Write(const char* text) { text_ += text; }
  __attribute__((format(printf, 2, 3))) void Print(const char* format, ...) {
    char buffer[64];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buffer, sizeof(buffer), format, args);
    va_end(args);
    if (n > 0) text_.append(buffer, std::min<std::size_t>(static_cast<std::size_t>(n), sizeof(buffer) - 1));
  }
  std::string& Text() { return text_; }

 private:
  std::string text_;
};

// Two digits only: the hundreds digit of 100 and above is dropped.
int Tens(int number) { return (number / 10) % 10; }
int Units(int number) { return number % 10; }

char RunMark(int last, int start) { return last == start + 1 ? ' ' : '-'; }

// The two digits of a number after a lead character, and a comma when asked
// for: the lists print thousands of these, too many for a format each.
struct TwoDigits {
  char text[5];
  TwoDigits(char lead, int number, bool comma = false)
      : text{lead, static_cast<char>('0' + Tens(number)), static_cast<char>('0' + Units(number)), comma ? ',' : '\0',
             '\0'} {}
};

template <typename Output>
void WriteList(Output* file, std::span<const std::uint8_t> numbers) {
  file->Write("00");
  int previous = 0;  // the implied base variation
  int runStart = 0;
  bool runOpen = false;
  for (const std::uint8_t value : numbers) {
    const int number = value;
    if (number == previous + 1) {
      runOpen = true;
    } else {
      if (runOpen) file->Write(TwoDigits(RunMark(previous, runStart), previous, true).text);
      file->Write(TwoDigits(' ', number).text);
      runStart = number;
      runOpen = false;
    }
    previous = number;
  }
  if (runOpen) file->Write(TwoDigits(RunMark(previous, runStart), previous).text);
}

// Writes one category when its list is not empty; the separator turns into
// the later one after the first category written.
template <typename Output, std::size_t Capacity>
void WriteCategory(Output* file, const char** separator, const char* heading, const VariationList<Capacity>& list) {
  const std::span<const std::uint8_t> values = list.Values();
  if (values.empty()) return;
  file->Write(*separator);
  file->Write(" ");
  file->Write(heading);
  file->Write(": <b>");
  WriteList(file, values);
  *separator = "</b>,";
}

template <typename Output>
void WriteSummary(Output* file, const ClientImage& client, const ModelDef& model, std::uint32_t raceId) {
  const char* separator = " -";
  WriteCategory(file, &separator, "Textures", model.textures);
  WriteCategory(file, &separator, "Heads", model.heads);
  if (IsPlayableRaceRow(client, raceId)) {
    WriteCategory(file, &separator, "Faces", model.faces);
    WriteCategory(file, &separator, "Hair", model.hair);
    WriteCategory(file, &separator, "Beards", model.beards);
    WriteCategory(file, &separator, "Detail", model.details);
    WriteCategory(file, &separator, "Tattoo", model.tattoos);
    if (raceId == kHeritageRace) {
      file->Print("%s Heritage: <b>00-07", separator);
      file->Write("</b>");
      return;
    }
  }
  if (separator[0] != ' ') file->Write("</b>");
}

}  // namespace

Result WriteVariationSummary(OutputFile* file, const ClientImage& client, const ModelDef* model) {
  return WriteVariationSummaryAs(file, client, model, model != nullptr ? model->raceId : 0);
}

Result WriteVariationSummaryAs(OutputFile* file, const ClientImage& client, const ModelDef* model,
                               std::uint32_t raceId) {
  if (file == nullptr || model == nullptr) return InvalidArgument("no file or model");
  WriteSummary(file, client, *model, raceId);
  return kSuccess;
}

Result WriteVariationList(OutputFile* file, std::span<const std::uint8_t> numbers) {
  if (file == nullptr || numbers.empty()) return InvalidArgument("no file or no numbers");
  WriteList(file, numbers);
  return kSuccess;
}

std::string VariationSummaryText(const ClientImage& client, const ModelDef* model) {
  TextOutput text;
  if (model != nullptr) WriteSummary(&text, client, *model, model->raceId);
  return std::move(text.Text());
}

}  // namespace zira
