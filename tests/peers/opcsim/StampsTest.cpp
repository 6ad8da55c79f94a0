// The measurement hook: whole records, in order, on the monotonic clock,
// from every thread.

#include "peers/opcsim/Stamps.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

namespace opcsim {
namespace {

std::int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

TEST(StampFile, RecordsFromEveryThreadArriveWholeAndStampedNow) {
  char dir[] = "/tmp/fw-stamps-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string path = std::string(dir) + "/stamps.bin";
  // The file is chosen at the first use in the process; no other test here uses it.
  setenv("FERROWICK_OPCSIM_STAMPS", path.c_str(), 1);
  StampFile& stamps = StampFile::Instance();
  unsetenv("FERROWICK_OPCSIM_STAMPS");
  ASSERT_TRUE(stamps.Enabled());

  const std::int64_t before = NowNs();
  stamps.Record(StampKind::Delivery, 50000, 16777216.0);
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t)
    writers.emplace_back([&stamps, t] {
      for (int i = 0; i < 250; ++i) stamps.Record(StampKind::Write, 1, t * 1000 + i);
    });
  for (auto& w : writers) w.join();
  const std::int64_t after = NowNs();

  std::ifstream in(path, std::ios::binary);
  std::vector<StampRecord> records;
  StampRecord r{};
  while (in.read(reinterpret_cast<char*>(&r), sizeof r)) records.push_back(r);
  EXPECT_EQ(std::filesystem::file_size(path), 1001 * sizeof(StampRecord)) << "no torn or partial record";
  ASSERT_EQ(records.size(), 1001u);
  EXPECT_EQ(records[0].kind, static_cast<std::uint32_t>(StampKind::Delivery));
  EXPECT_EQ(records[0].count, 50000u);
  EXPECT_EQ(records[0].value, 16777216.0);
  std::vector<int> perThread(4, 0);
  for (std::size_t i = 0; i < records.size(); ++i) {
    EXPECT_GE(records[i].monotonicNs, before);
    EXPECT_LE(records[i].monotonicNs, after);
    if (i == 0) continue;
    EXPECT_EQ(records[i].kind, static_cast<std::uint32_t>(StampKind::Write));
    const int value = static_cast<int>(records[i].value);
    ASSERT_GE(value / 1000, 0);
    ASSERT_LT(value / 1000, 4);
    // Each thread's records keep their order.
    EXPECT_EQ(value % 1000, perThread[static_cast<std::size_t>(value / 1000)]++);
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace opcsim
