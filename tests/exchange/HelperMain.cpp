// The test program doubles as its own helper process: started with
// "--exchange-helper MODE ARGS...", it plays the other side of the section.

#include "exchange/OPCSharedMemory.h"
#include "platform/os/SharedSection.h"
#include "platform/os/Time.h"
#include "tests/exchange/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

namespace exchange_test {

namespace {

using exchange::TIntercomInterface;

void Say(const std::string& line) {
  std::cout << line << std::endl;  // flushed: the test waits for it
}

// Waits for lines on standard input until it closes; answers each with
// `answer`.
template <class Answer>
void Serve(Answer answer) {
  std::string line;
  while (std::getline(std::cin, line)) Say(answer(line));
}

// hold-section SIZE: a plain section with byte 0 = 0x5A.
int HoldSection(int argc, char** argv) {
  if (argc < 1) return 2;
  platform::os::SharedSection section;
  const auto result = section.Create(exchange::kSectionName, std::strtoul(argv[0], nullptr, 10));
  if (result != platform::os::SectionCreateResult::Created) return 3;
  section.Data()[0] = 0x5A;
  Say("ready");
  Serve([&](const std::string&) { return std::to_string(section.Data()[0]); });
  return 0;
}

// driver N: the driver side with N reserved and stored variables and
// transaction id 4242; "check" answers the transaction id and description.
int Driver(int argc, char** argv) {
  if (argc < 1) return 2;
  const auto variables = static_cast<std::int32_t>(std::strtol(argv[0], nullptr, 10));
  auto owner = TIntercomInterface::Create(exchange::kSectionName, variables);
  if (!owner->IsAttached()) return 3;
  exchange::TVLVariableInfo info{};
  for (std::int32_t i = 0; i < variables; ++i) {
    info.Id = i + 1;
    owner->DMLVariables()->Add(info);
  }
  owner->HalvorstenInfo()->SetTransactionId(4242);
  owner->HalvorstenInfo()->SetDescription("first");
  Say("ready");
  Serve([&](const std::string&) {
    return std::to_string(owner->HalvorstenInfo()->GetTransactionId()) + " " +
           owner->HalvorstenInfo()->GetDescription();
  });
  return 0;
}

// layout: the server side's view: size, stored count and the offset of
// every block.
int Layout(int, char**) {
  auto owner = TIntercomInterface::Open(exchange::kSectionName);
  if (!owner->IsAttached()) {
    Say("detached");
    return 0;
  }
  const std::uint8_t* view = owner->View();
  std::string line = std::to_string(owner->ViewSize()) + " " +
                     std::to_string(owner->DMLVariables()->Count());
  for (const std::uint8_t* block :
       {owner->HalvorstenInfo()->Block(), owner->ServerData()->Block(),
        owner->DMLVariables()->Block(), owner->ServerErrors()->Block(),
        owner->DynemicVariables()->Block(), owner->Commands()->Block(),
        owner->Terminal1()->Block(), owner->Terminal2()->Block(), owner->Terminal3()->Block()}) {
    line += " " + std::to_string(block - view);
  }
  Say(line);
  return 0;
}

// writer ID COUNT: adds COUNT errors (code ID * 1000000 + i, text
// "E<code>") and writes terminal 2 once per error with a self-checking
// text; retries an error while the list is full. Answers "done WRITES".
int Writer(int argc, char** argv) {
  if (argc < 2) return 2;
  const int id = std::atoi(argv[0]);
  const int count = std::atoi(argv[1]);
  auto owner = TIntercomInterface::Open(exchange::kSectionName);
  if (!owner->IsAttached()) return 3;
  Say("ready");
  std::string go;
  if (!std::getline(std::cin, go)) return 4;
  int writes = 0;
  for (int i = 0; i < count; ++i) {
    const std::int32_t code = id * 1000000 + i;
    bool added = false;
    for (int attempt = 0; attempt < 20000 && !added; ++attempt) {
      added = owner->ServerErrors()->Add(code, "E" + std::to_string(code));
      if (!added) platform::os::Sleep(1);
    }
    if (!added) return 5;
    const std::size_t length = static_cast<std::size_t>((i * 7919) % 3000);
    const std::string text = "P" + std::to_string(id) + ":" + std::string(length, 'a' + id) +
                             ":" + std::to_string(length);
    if (owner->Terminal2()->WriteText(text)) ++writes;
  }
  Say("done " + std::to_string(writes));
  return 0;
}

// taker: the server's side of the command batch. Takes committed batches
// for devices 1 and 2 and marks them done, until the driver's state is 3;
// then answers "taken SERIAL..." and "bad N" (copies that were not one
// whole batch as the driver committed it).
int Taker(int, char**) {
  auto owner = TIntercomInterface::Open(exchange::kSectionName);
  if (!owner->IsAttached()) return 3;
  Say("ready");
  std::string taken = "taken";
  int bad = 0;
  exchange::TCommandBlock copy{};
  while (owner->HalvorstenInfo()->GetState() != 3) {
    for (std::int32_t device : {1, 2}) {
      if (!owner->Commands()->TakeBlock(device, "opc", copy)) continue;
      const std::int32_t serial = copy.Commands[0].Id / 100;
      bool whole = copy.CommandCount() == 1 + serial % 17 && copy.Id == serial % 2 + 1;
      for (std::int32_t i = 0; whole && i < copy.CommandCount(); ++i) {
        whole = copy.Commands[i].Id == serial * 100 + i && copy.Commands[i].Value == serial;
      }
      if (!whole) ++bad;
      taken += " " + std::to_string(serial);
      owner->Commands()->MarkDone();
    }
  }
  Say(taken);
  Say("bad " + std::to_string(bad));
  return 0;
}

}  // namespace

int RunHelper(int argc, char** argv) {
  if (argc < 1) return 2;
  const std::string mode = argv[0];
  if (mode == "hold-section") return HoldSection(argc - 1, argv + 1);
  if (mode == "driver") return Driver(argc - 1, argv + 1);
  if (mode == "layout") return Layout(argc - 1, argv + 1);
  if (mode == "writer") return Writer(argc - 1, argv + 1);
  if (mode == "taker") return Taker(argc - 1, argv + 1);
  return 2;
}

}  // namespace exchange_test

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "--exchange-helper") == 0) {
    return exchange_test::RunHelper(argc - 2, argv + 2);
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
