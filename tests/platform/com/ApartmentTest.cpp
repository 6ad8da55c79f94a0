#include "platform/com/Apartment.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <thread>

#include "platform/win/MessageLoop.h"

namespace platform::com {
namespace {

// Marks when it is destroyed and on which thread.
struct Witness {
  explicit Witness(std::atomic<pid_t>* where) : diedOn(where) {}
  ~Witness() { diedOn->store(::gettid()); }
  std::atomic<pid_t>* diedOn;
};

TEST(Apartment, CallsFromOtherThreadsRunOnTheApartmentThreadWhenItPumps) {
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  auto apartment = Apartment::Current();
  ASSERT_TRUE(apartment);
  EXPECT_TRUE(apartment->IsCurrentThread());
  std::atomic<int> ran{0};
  std::atomic<pid_t> ranOn{0};
  std::thread server([&] {
    EXPECT_FALSE(apartment->IsCurrentThread());
    for (int i = 0; i < 3; ++i)
      EXPECT_TRUE(apartment->Post([&ran, &ranOn, i] {
        EXPECT_EQ(ran.load(), i);  // in the order posted
        ranOn = ::gettid();
        ++ran;
      }));
  });
  server.join();
  EXPECT_EQ(ran.load(), 0);  // nothing runs until the thread handles messages
  EXPECT_EQ(apartment->Pending(), 3u);
  EXPECT_TRUE(platform::win::WaitPumping([&] { return ran.load() == 3; }, 20000));
  EXPECT_EQ(ranOn.load(), ::gettid());
  CoUninitialize();
  EXPECT_FALSE(Apartment::Current());
}

TEST(Apartment, NestedInitialisationAndModels) {
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), E_INVALIDARG);
  EXPECT_FALSE(Apartment::Current());
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
  auto first = Apartment::Current();
  CoUninitialize();
  EXPECT_EQ(Apartment::Current(), first);  // one more to go
  CoUninitialize();
  EXPECT_FALSE(Apartment::Current());
  CoUninitialize();  // unbalanced: nothing happens
}

TEST(Apartment, EndedApartmentRefusesCallsAndDropsQueuedOnesOnItsThread) {
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  auto apartment = Apartment::Current();
  std::atomic<pid_t> diedOn{0};
  std::atomic<bool> ran{false};
  std::thread([&] {
    auto witness = std::make_shared<Witness>(&diedOn);
    apartment->Post([witness, &ran] { ran = true; });
  }).join();
  EXPECT_EQ(diedOn.load(), 0);
  CoUninitialize();
  EXPECT_FALSE(ran.load());
  EXPECT_EQ(diedOn.load(), ::gettid());  // dropped on the apartment's thread
  EXPECT_FALSE(apartment->Post([&ran] { ran = true; }));
  platform::win::ProcessMessages();
  EXPECT_FALSE(ran.load());
}

TEST(Apartment, ThreadEndingInsideItsApartmentEndsIt) {
  std::shared_ptr<Apartment> apartment;
  std::thread([&] {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    apartment = Apartment::Current();
  }).join();
  ASSERT_TRUE(apartment);
  EXPECT_FALSE(apartment->Post([] {}));
}

TEST(Apartment, ACallThatThrowsDoesNotStopTheOthers) {
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  auto apartment = Apartment::Current();
  std::atomic<bool> second{false};
  std::thread([&] {
    apartment->Post([] { throw std::runtime_error("sink failed"); });
    apartment->Post([&second] { second = true; });
  }).join();
  EXPECT_TRUE(platform::win::WaitPumping([&] { return second.load(); }, 20000));
  CoUninitialize();
}

TEST(ComSecurity, OnceThenTooLateAndTheTestSwitch) {
  ::setenv("FERROWICK_COM_SECURITY_FAIL", "1", 1);
  EXPECT_EQ(CoInitializeSecurity(nullptr, -1, nullptr, nullptr, 1, 3, nullptr, 0, nullptr), E_ACCESSDENIED);
  ::unsetenv("FERROWICK_COM_SECURITY_FAIL");
  EXPECT_EQ(CoInitializeSecurity(nullptr, -1, nullptr, nullptr, 1, 3, nullptr, 0, nullptr), S_OK);
  EXPECT_EQ(CoInitializeSecurity(nullptr, -1, nullptr, nullptr, 1, 3, nullptr, 0, nullptr), RPC_E_TOO_LATE);
}

}  // namespace
}  // namespace platform::com
