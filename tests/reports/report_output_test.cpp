#include "reports/report_output.h"

#include <gtest/gtest.h>

#include <new>
#include <string>

#include "common/output_file.h"
#include "common/worker_pool.h"

namespace zira {
namespace {

// Sections of uneven length, so that parts cut anywhere would show.
void WriteSection(OutputFile& file, std::size_t at) {
  file.Print("<%d>", static_cast<int>(at));
  file.Write(std::string(at % 7 * 13, static_cast<char>('a' + at % 26)).c_str());
}

// Whatever the threads and however the sections fall into parts, the text is
// the sections' in their order.
TEST(WriteSectionsInPartsTest, WritesTheSectionsInOrderOnAnyNumberOfThreads) {
  for (const unsigned jobs : {1u, 2u, 4u}) {
    WorkerPool pool(jobs);
    for (const std::size_t count : {0, 1, 2, 7, 1000}) {
      SCOPED_TRACE(std::to_string(jobs) + " jobs, " + std::to_string(count) + " sections");
      OutputFile expected;
      expected.OpenInMemory();
      for (std::size_t at = 0; at < count; ++at) WriteSection(expected, at);
      OutputFile file;
      file.OpenInMemory();
      file.Write("head|");
      WriteSectionsInParts(pool, file, count, WriteSection);
      EXPECT_EQ(file.TakeText(), "head|" + expected.TakeText());
    }
  }
}

// A section that runs out of memory on another thread ends the writing on
// the calling thread, as it would have written them all itself.
TEST(WriteSectionsInPartsTest, PassesOnASectionsLackOfMemory) {
  WorkerPool pool(2);
  OutputFile file;
  file.OpenInMemory();
  EXPECT_THROW(WriteSectionsInParts(pool, file, 500,
                                    [](OutputFile& part, std::size_t at) {
                                      if (at == 377) throw std::bad_alloc();
                                      WriteSection(part, at);
                                    }),
               std::bad_alloc);
}

}  // namespace
}  // namespace zira
