#include "reports/variation_summary.h"

#include "store/model_registry.h"

namespace zira {

namespace {

constexpr std::uint32_t kHeritageRace = 522;

// Two digits only: the hundreds digit of 100 and above is dropped.
int Tens(int number) { return (number / 10) % 10; }
int Units(int number) { return number % 10; }

char RunMark(int last, int start) { return last == start + 1 ? ' ' : '-'; }

// Writes one category when its list is not empty; the separator turns into
// the later one after the first category written.
template <std::size_t Capacity>
void WriteCategory(OutputFile* file, const char** separator, const char* heading,
                   const VariationList<Capacity>& list) {
  const std::span<const std::uint8_t> values = list.Values();
  if (values.empty()) return;
  file->Print("%s %s: <b>", *separator, heading);
  static_cast<void>(WriteVariationList(file, values));
  *separator = "</b>,";
}

}  // namespace

Result WriteVariationSummary(OutputFile* file, const ClientImage& client, const ModelDef* model) {
  return WriteVariationSummaryAs(file, client, model, model != nullptr ? model->raceId : 0);
}

Result WriteVariationSummaryAs(OutputFile* file, const ClientImage& client, const ModelDef* model,
                               std::uint32_t raceId) {
  if (file == nullptr || model == nullptr) return E_INVALIDARG;
  const char* separator = " -";
  WriteCategory(file, &separator, "Textures", model->textures);
  WriteCategory(file, &separator, "Heads", model->heads);
  if (IsPlayableRaceRow(client, raceId)) {
    WriteCategory(file, &separator, "Faces", model->faces);
    WriteCategory(file, &separator, "Hair", model->hair);
    WriteCategory(file, &separator, "Beards", model->beards);
    WriteCategory(file, &separator, "Detail", model->details);
    WriteCategory(file, &separator, "Tattoo", model->tattoos);
    if (raceId == kHeritageRace) {
      file->Print("%s Heritage: <b>00-07", separator);
      file->Write("</b>");
      return S_OK;
    }
  }
  if (separator[0] != ' ') file->Write("</b>");
  return S_OK;
}

Result WriteVariationList(OutputFile* file, std::span<const std::uint8_t> numbers) {
  if (file == nullptr || numbers.empty()) return E_INVALIDARG;
  file->Write("00");
  int previous = 0;  // the implied base variation
  int runStart = 0;
  bool runOpen = false;
  for (const int number : numbers) {
    if (number == previous + 1) {
      runOpen = true;
    } else {
      if (runOpen) file->Print("%c%d%d,", RunMark(previous, runStart), Tens(previous), Units(previous));
      file->Print(" %d%d", Tens(number), Units(number));
      runStart = number;
      runOpen = false;
    }
    previous = number;
  }
  if (runOpen) file->Print("%c%d%d", RunMark(previous, runStart), Tens(previous), Units(previous));
  return S_OK;
}

}  // namespace zira
