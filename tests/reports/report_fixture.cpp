#include "reports/report_fixture.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "common/session_log.h"
#include "common/file_system.h"
#include "common/text.h"
#include "support/text_files.h"

namespace zira::testing {

void ReportTest::SetUp() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  dir_ = ::testing::TempDir() + "zira_reports_" + info->test_suite_name() + "_" + info->name();
  std::filesystem::remove_all(dir_);
  std::filesystem::create_directories(dir_);
  run_ = std::make_unique<TestRun>(dir_);
  Inventory& store = inv();
  std::fill(std::begin(store.strings.slotOfId), std::end(store.strings.slotOfId), kNoStringSlot);
  store.client.editionId = 2;
  store.client.editionShort = "TST";
  run_->log.Install();
  run_->log.capture = &logLines_;
  run_->log.echoToConsole = 0;
}

void ReportTest::TearDown() {
  run_.reset();
  std::filesystem::remove_all(dir_);
}

char* ReportTest::Own(const std::string& text) {
  owned_.push_back(text);
  return owned_.back().data();
}

void ReportTest::SetRace(std::uint16_t id, const std::string& male, const std::string& female,
                         const std::string& neutral) {
  RaceRecord& race = inv().client.races[id];
  race.raceId = id;
  const std::string* codes[] = {&male, &female, &neutral};
  for (int g = 0; g < 3; ++g) {
    race.code[g] = codes[g]->empty() ? nullptr : Own(*codes[g]);
    race.codeLength[g] = static_cast<std::uint8_t>(codes[g]->size());
  }
  inv().client.maxRaceId = std::max(inv().client.maxRaceId, id);
}

void ReportTest::SetDatabaseText(std::uint32_t type, std::uint32_t id, const std::string& text) {
  StringDatabase& db = inv().database;
  const std::uint32_t offset = static_cast<std::uint32_t>(databaseText_.size());
  databaseText_ += text;
  databaseText_ += '\0';
  db.text = std::make_unique<char[]>(databaseText_.size());
  std::memcpy(db.text.get(), databaseText_.data(), databaseText_.size());
  db.map[(type << 24) + id] = offset;
  ++db.count;
}

void ReportTest::SetListText(std::uint16_t id, const std::string& text) {
  StringList& list = inv().strings;
  // A loaded list owns its file's buffer; the texts here live in the fixture.
  if (!list.text) list.text = std::make_unique<char[]>(1);
  list.slotOfId[id] = list.count;
  list.entries[list.count++] = Own(text);
  list.highestId = std::max(list.highestId, id);
}

ModelSource* ReportTest::AddSource(const std::string& name, std::uint8_t kind) {
  Inventory& store = inv();
  const std::uint16_t row = store.sourceCount++;
  ModelSource* source = &store.sources[row];
  CopyText(source->name, sizeof(source->name), name.c_str());
  source->nameLength = static_cast<std::uint8_t>(name.size());
  source->kind = static_cast<SourceKind>(kind);
  const int bucket = kind != 0 ? kGlobalBucket : LetterBucket(name.c_str()) + 1;
  store.sourceIndex.rows[bucket][store.sourceIndex.count[bucket]++] = row;
  return source;
}

ModelDef* ReportTest::AddModel(ModelSource* source, const std::string& code, std::uint16_t raceId,
                               std::uint8_t gender) {
  ModelDef* model = &inv().models[inv().modelDefCount++];
  CopyText(model->code, sizeof(model->code), code.c_str());
  model->codeLength = static_cast<std::uint8_t>(code.size());
  model->raceId = raceId;
  model->gender = static_cast<Gender>(gender);
  model->source = source;
  if (source) {
    model->slot = source->modelCount;
    source->models[source->modelCount++] = model;
  }
  return model;
}

ZoneRecord* ReportTest::SetZone(std::uint16_t id, const std::string& nick, const std::string& name,
                                std::uint8_t expansion) {
  ZoneRecord* zone = &inv().client.zones[id];
  zone->zoneId = id;
  zone->zoneNick = nick.empty() ? nullptr : Own(nick);
  zone->zoneName = name.empty() ? nullptr : Own(name);
  zone->expansion = expansion;
  inv().client.maxZoneId = std::max(inv().client.maxZoneId, id);
  return zone;
}

std::string ReportTest::ReadOutput(const std::string& name) const { return ReadTextFile(dir_ + "/" + name); }

std::string ReportTest::Between(const std::string& text, const std::string& begin, const std::string& end) {
  const std::size_t from = text.find(begin);
  if (from == std::string::npos) return "<missing: " + begin + ">";
  const std::size_t to = text.find(end, from + begin.size());
  if (to == std::string::npos) return text.substr(from);
  return text.substr(from, to + end.size() - from);
}

}  // namespace zira::testing
