// The floor under every road of the system: one flag handed back and forth
// through a shared section between two processes, with nothing else on the
// way. The partner is this program started again with "--partner NAME".

#include "platform/os/ByteFields.h"
#include "platform/os/Files.h"
#include "platform/os/Process.h"
#include "platform/os/SharedSection.h"
#include "platform/os/Time.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using platform::os::AtomicLoadByte;
using platform::os::AtomicStoreByte;

// Flag values: the caller asks, the partner answers, the caller ends it.
constexpr uint8_t kAsk = 1;
constexpr uint8_t kAnswer = 2;
constexpr uint8_t kEnd = 3;
constexpr uint32_t kPartnerPatienceMs = 10000;

// Spins until the flag holds want; false when patienceMs pass first.
bool SpinFor(uint8_t* flag, uint8_t want, uint32_t patienceMs) {
  const uint32_t start = platform::os::GetTickCount();
  for (uint32_t spins = 0;; ++spins) {
    if (AtomicLoadByte(flag) == want) return true;
    if ((spins & 0xFFFF) == 0 && platform::os::TickDiff(platform::os::GetTickCount(), start) > patienceMs) return false;
  }
}

int RunPartner(const char* name) {
  platform::os::SharedSection section;
  if (!section.Open(name)) return 1;
  uint8_t* flag = section.Data();
  for (;;) {
    const uint32_t start = platform::os::GetTickCount();
    uint8_t seen;
    while ((seen = AtomicLoadByte(flag)) != kAsk && seen != kEnd) {
      if (platform::os::TickDiff(platform::os::GetTickCount(), start) > kPartnerPatienceMs) return 2;
    }
    if (seen == kEnd) return 0;
    AtomicStoreByte(flag, kAnswer);
  }
}

void BM_SectionFlagRoundTrip(benchmark::State& state) {
  // A name per run: the partner of the previous run may still hold its section.
  static int run = 0;
  const std::string name = "bench-floor-" + std::to_string(::getpid()) + "-" + std::to_string(++run);
  platform::os::SharedSection section;
  if (section.Create(name, 64) != platform::os::SectionCreateResult::Created) {
    state.SkipWithError("cannot create the section");
    return;
  }
  uint8_t* flag = section.Data();
  const std::string self = platform::os::ProgramPath();
  if (!platform::os::CreateProcess("\"" + self + "\" --partner " + name)) {
    state.SkipWithError("cannot start the partner");
    return;
  }
  for (auto _ : state) {
    AtomicStoreByte(flag, kAsk);
    if (!SpinFor(flag, kAnswer, kPartnerPatienceMs)) {
      state.SkipWithError("the partner stopped answering");
      break;
    }
  }
  AtomicStoreByte(flag, kEnd);
}
BENCHMARK(BM_SectionFlagRoundTrip)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--partner") == 0) return RunPartner(argv[2]);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
