// The section shared by two real processes: this test and a helper process
// started from the same program.

#include "exchange/OPCSharedMemory.h"
#include "platform/os/Convert.h"
#include "tests/exchange/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace exchange;
using exchange_test::HelperProcess;

class CrossProcess : public ::testing::Test {
 protected:
  exchange_test::ScopedNamespace ns_;
};

TEST_F(CrossProcess, BothSidesPlaceEveryBlockAlike) {
  for (std::int32_t n : {0, 1000}) {
    auto driver = TIntercomInterface::Create(kSectionName, n);
    ASSERT_TRUE(driver->IsAttached());
    TVLVariableInfo info{};
    for (std::int32_t i = 0; i < n; ++i) ASSERT_TRUE(driver->DMLVariables()->Add(info));
    HelperProcess server({"layout"});
    const std::string expected =
        n == 0 ? "481105 0 0 773 9637 9901 37389 301073 310657 367473 424289"
               : "1258105 1000 0 773 9637 786901 814389 1078073 1087657 1144473 1201289";
    EXPECT_EQ(server.ReadLine(), expected);
    EXPECT_EQ(server.Wait(), 0);
  }
}

TEST_F(CrossProcess, ServerStaysDetachedWhenDriverStoredFewerThanReserved) {
  auto driver = TIntercomInterface::Create(kSectionName, 5);
  TVLVariableInfo info{};
  ASSERT_TRUE(driver->DMLVariables()->Add(info));
  HelperProcess server({"layout"});
  EXPECT_EQ(server.ReadLine(), "detached");
  EXPECT_EQ(server.Wait(), 0);
}

TEST_F(CrossProcess, SecondCreatorWaitsForTheFirstHolderToDie) {
  HelperProcess first({"driver", "3"});
  ASSERT_EQ(first.ReadLine(), "ready");
  {
    auto second = TIntercomInterface::Create(kSectionName, 3);
    EXPECT_FALSE(second->IsAttached());
    EXPECT_EQ(second->HalvorstenInfo()->GetTransactionId(), 0);
  }
  ASSERT_TRUE(first.WriteLine("check"));
  EXPECT_EQ(first.ReadLine(), "4242 first");  // the first is unchanged

  first.Kill();
  first.Wait();
  auto third = TIntercomInterface::Create(kSectionName, 3);
  ASSERT_TRUE(third->IsAttached());
  EXPECT_EQ(third->HalvorstenInfo()->GetTransactionId(), 0);
  EXPECT_EQ(third->HalvorstenInfo()->GetDescription(), "");
  EXPECT_EQ(third->DMLVariables()->Count(), 0);
}

// Parses "P<id>:<filler>:<length>" and checks that the filler is whole.
bool WholeTerminalText(const std::string& text) {
  if (text.empty()) return true;  // nothing written yet
  const auto first = text.find(':');
  const auto last = text.rfind(':');
  if (text[0] != 'P' || first == std::string::npos || first == last) return false;
  const std::string filler = text.substr(first + 1, last - first - 1);
  std::int32_t length = -1;
  if (!platform::os::TryStrToInt(text.substr(last + 1), length)) return false;
  const char expected = static_cast<char>('a' + (text[1] - '0'));
  return static_cast<std::size_t>(length) == filler.size() &&
         filler.find_first_not_of(expected) == std::string::npos;
}

TEST_F(CrossProcess, TwoWritersLoseAndTearNothing) {
  constexpr int kPerWriter = 1500;
  auto driver = TIntercomInterface::Create(kSectionName, 0);
  ASSERT_TRUE(driver->IsAttached());
  HelperProcess one({"writer", "1", std::to_string(kPerWriter)});
  HelperProcess two({"writer", "2", std::to_string(kPerWriter)});
  ASSERT_EQ(one.ReadLine(), "ready");
  ASSERT_EQ(two.ReadLine(), "ready");
  ASSERT_TRUE(one.WriteLine("go"));
  ASSERT_TRUE(two.WriteLine("go"));

  // Drain the error list and read the terminal while both write.
  std::map<int, std::vector<std::int32_t>> received;
  int torn = 0;
  int reads = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  std::size_t total = 0;
  TServerErrorBlock copy{};
  while (total < 2u * kPerWriter && std::chrono::steady_clock::now() < deadline) {
    if (driver->ServerErrors()->Count() > 0 && driver->ServerErrors()->CopyOut(copy, true)) {
      for (std::int32_t i = 0; i < copy.Count; ++i) {
        const TServerErrorEntry& entry = copy.Entries[i];
        if (ShortStringOf(entry.Text) != "E" + std::to_string(entry.Code)) ++torn;
        received[entry.Code / 1000000].push_back(entry.Code % 1000000);
        ++total;
      }
    }
    if (!WholeTerminalText(driver->Terminal2()->ReadText())) ++torn;
    ++reads;
  }
  const auto doneOne = one.ReadLine();
  const auto doneTwo = two.ReadLine();
  ASSERT_TRUE(doneOne && doneTwo);
  EXPECT_EQ(one.Wait(), 0);
  EXPECT_EQ(two.Wait(), 0);

  EXPECT_EQ(torn, 0);
  EXPECT_GT(reads, 0);
  for (int writer : {1, 2}) {
    const std::vector<std::int32_t>& codes = received[writer];
    ASSERT_EQ(codes.size(), static_cast<std::size_t>(kPerWriter)) << "writer " << writer;
    for (int i = 0; i < kPerWriter; ++i) ASSERT_EQ(codes[i], i) << "writer " << writer;
  }
  // Every stored text advanced the counter once.
  const int writes = std::stoi(doneOne->substr(5)) + std::stoi(doneTwo->substr(5));
  EXPECT_EQ(writes, 2 * kPerWriter);
  EXPECT_EQ(driver->Terminal2()->GetCounter(), writes % 65536);
  EXPECT_TRUE(WholeTerminalText(driver->Terminal2()->ReadText()));
}

// The driver commits batches and abandons many of them at once, as a
// time-out would, while the server takes and finishes them: every batch the
// server takes is whole, and every "done" the driver sees belongs to a
// batch the server took.
TEST_F(CrossProcess, BatchHandOverNeverTearsAndDoneNeverLandsOnANewerBatch) {
  constexpr int kBatches = 3000;
  auto driver = TIntercomInterface::Create(kSectionName, 0);
  ASSERT_TRUE(driver->IsAttached());
  HelperProcess server({"taker"});
  ASSERT_EQ(server.ReadLine(), "ready");

  TCommandsList* batch = driver->Commands();
  std::vector<int> done;
  int serial = 0;
  int current = -1;
  int abandoned = 0;
  int patience = 0;  // loop turns before the current batch times out
  std::uint32_t noise = 12345;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while ((serial < kBatches || current >= 0) && std::chrono::steady_clock::now() < deadline) {
    const std::uint8_t state = batch->GetReady();
    noise = noise * 1103515245u + 12345u;
    if (state == 3) {
      if (batch->ResetFrom(3)) done.push_back(current), current = -1;
    } else if ((state == 1 || state == 2) && --patience < 0) {
      if (batch->ResetFrom(state)) ++abandoned, current = -1;
    } else if (state == 0 && serial < kBatches) {
      current = serial++;
      patience = static_cast<int>((noise >> 16) % 4000);
      batch->SetId(current % 2 + 1);
      batch->SetName("OPC");
      for (int i = 0; i < 1 + current % 17; ++i) {
        TSharedCommand command{};
        command.Id = current * 100 + i;
        command.Value = static_cast<float>(current);
        ASSERT_TRUE(batch->Add(command));
      }
      ASSERT_TRUE(batch->Commit());
    } else if (state == 0) {
      break;  // all sent; the last one was abandoned
    }
  }
  driver->HalvorstenInfo()->SetState(3);
  const auto taken = server.ReadLine();
  const auto bad = server.ReadLine();
  EXPECT_EQ(server.Wait(), 0);
  ASSERT_TRUE(taken && bad);
  EXPECT_EQ(*bad, "bad 0");
  EXPECT_EQ(serial, kBatches);

  std::istringstream words(taken->substr(5));
  std::vector<int> takenSerials;
  for (int value; words >> value;) takenSerials.push_back(value);
  std::vector<int> sorted = takenSerials;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end()) << "taken twice";
  for (int d : done) {
    EXPECT_TRUE(std::binary_search(sorted.begin(), sorted.end(), d)) << "done but never taken: " << d;
  }
  EXPECT_GT(done.size(), 0u);
  EXPECT_GT(abandoned, 0);
}

}  // namespace
