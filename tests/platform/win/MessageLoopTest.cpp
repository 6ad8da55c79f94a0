#include "platform/win/MessageLoop.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Window.h"

#include "tests/platform/win/WinTestSupport.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using namespace platform::win;
using Clock = std::chrono::steady_clock;

uint32_t ThisThread() { return static_cast<uint32_t>(::gettid()); }

// A window of the calling thread destroyed with the object.
class TestWindow {
 public:
  explicit TestWindow(WindowProc proc) : hwnd_(AllocateHWnd(std::move(proc))) {}
  ~TestWindow() { DestroyWindow(hwnd_); }
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;
  HWND Handle() const { return hwnd_; }

 private:
  HWND hwnd_;
};

// Joins a worker within a bound; a hang is reported instead of blocking the
// whole run.
void JoinWithin(std::thread& thread, std::future<void>& finished, int timeoutMs) {
  if (finished.wait_for(std::chrono::milliseconds(timeoutMs)) != std::future_status::ready) {
    ADD_FAILURE() << "worker did not finish: deadlock";
    std::_Exit(1);
  }
  thread.join();
}

TEST(Window, HandleLifeAndOwner) {
  const HWND a = AllocateHWnd([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
  const HWND b = AllocateHWnd(nullptr);
  ASSERT_NE(a, 0u);
  ASSERT_NE(b, 0u);
  EXPECT_NE(a, b);
  EXPECT_TRUE(IsWindow(a));
  uint32_t pid = 0;
  EXPECT_EQ(GetWindowThreadProcessId(a, &pid), ThisThread());
  EXPECT_EQ(pid, static_cast<uint32_t>(::getpid()));
  // A window without a procedure answers 0.
  EXPECT_EQ(SendMessage(b, WM_USER, 1, 2), 0);
  EXPECT_TRUE(DestroyWindow(a));
  EXPECT_FALSE(IsWindow(a));
  EXPECT_FALSE(DestroyWindow(a));
  EXPECT_EQ(GetWindowThreadProcessId(a, &pid), 0u);
  EXPECT_EQ(pid, 0u);
  EXPECT_FALSE(PostMessage(a, WM_USER, 0, 0));
  EXPECT_TRUE(DestroyWindow(b));
  EXPECT_FALSE(IsWindow(0));
  EXPECT_FALSE(DestroyWindow(0));
}

TEST(Window, BelongsToItsThreadAndEndsWithIt) {
  HWND hwnd = 0;
  std::thread worker([&] {
    hwnd = AllocateHWnd([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 5; });
  });
  worker.join();
  // The thread has ended: its window went with it.
  ASSERT_NE(hwnd, 0u);
  EXPECT_FALSE(IsWindow(hwnd));

  std::promise<HWND> made;
  std::promise<void> release;
  std::thread owner([&] {
    made.set_value(AllocateHWnd(nullptr));
    release.get_future().wait();
  });
  const HWND foreign = made.get_future().get();
  // Only the owner thread may destroy a window.
  EXPECT_FALSE(DestroyWindow(foreign));
  EXPECT_TRUE(IsWindow(foreign));
  release.set_value();
  owner.join();
  EXPECT_FALSE(IsWindow(foreign));
}

TEST(SendMessage, SameThreadIsADirectCall) {
  int calls = 0;
  TestWindow window([&](HWND, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
    ++calls;
    return message == WM_USER ? static_cast<LRESULT>(wParam) + lParam : -1;
  });
  EXPECT_EQ(SendMessage(window.Handle(), WM_USER, 40, 2), 42);
  EXPECT_EQ(calls, 1);
  // Pointer-sized parameters survive within a process.
  EXPECT_EQ(SendMessage(window.Handle(), WM_USER, WPARAM(1) << 40, -(LPARAM(1) << 40)), 0);
}

TEST(SendMessage, WorkerBlocksUntilTheOwnerThreadHandlesIt) {
  std::atomic<bool> handled{false};
  std::atomic<uint32_t> handledOn{0};
  TestWindow window([&](HWND, UINT message, WPARAM wParam, LPARAM) -> LRESULT {
    if (message != WM_USER) return 0;
    handledOn = ThisThread();
    handled = true;
    return static_cast<LRESULT>(wParam) * 2;
  });
  std::atomic<LRESULT> result{0};
  std::atomic<bool> sawHandledOnReturn{false};
  std::promise<void> done;
  std::future<void> finished = done.get_future();
  std::thread worker([&] {
    result = SendMessage(window.Handle(), WM_USER, 21, 0);
    sawHandledOnReturn = handled.load();
    done.set_value();
  });
  // The main thread does not pump for a while: the worker must wait.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(handled.load());
  EXPECT_EQ(finished.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);
  EXPECT_TRUE(WaitPumping([&] { return finished.wait_for(std::chrono::seconds(0)) ==
                                       std::future_status::ready; },
                          20000));
  JoinWithin(worker, finished, 20000);
  EXPECT_EQ(result.load(), 42);
  EXPECT_TRUE(sawHandledOnReturn.load());
  EXPECT_EQ(handledOn.load(), ThisThread());
}

TEST(SendMessage, TwoThreadsSendingToEachOtherDoNotDeadlock) {
  constexpr int kRounds = 2000;
  std::atomic<HWND> windows[2] = {0, 0};
  std::atomic<int> ready{0};
  std::atomic<int> handled[2] = {0, 0};
  auto body = [&](int self, std::promise<void>* done) {
    TestWindow window([&, self](HWND, UINT, WPARAM wParam, LPARAM) -> LRESULT {
      ++handled[self];
      return static_cast<LRESULT>(wParam) + 1;
    });
    windows[self] = window.Handle();
    ++ready;
    while (ready.load() < 2) std::this_thread::yield();
    const HWND other = windows[1 - self];
    bool allRight = true;
    for (int i = 0; i < kRounds; ++i) {
      allRight = allRight && SendMessage(other, WM_USER, static_cast<WPARAM>(i), 0) == i + 1;
    }
    EXPECT_TRUE(allRight);
    ++ready;
    // Keep answering until the other side is done too.
    WaitPumping([&] { return ready.load() >= 4; }, 20000);
    done->set_value();
  };
  std::promise<void> done0, done1;
  std::future<void> finished0 = done0.get_future(), finished1 = done1.get_future();
  std::thread t0(body, 0, &done0), t1(body, 1, &done1);
  JoinWithin(t0, finished0, 60000);
  JoinWithin(t1, finished1, 60000);
  EXPECT_EQ(handled[0].load(), kRounds);
  EXPECT_EQ(handled[1].load(), kRounds);
}

TEST(SendMessage, DeadOrUnknownHandleAnswersZeroAtOnce) {
  const HWND hwnd = AllocateHWnd([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 9; });
  ASSERT_TRUE(DestroyWindow(hwnd));
  const auto start = Clock::now();
  EXPECT_EQ(SendMessage(hwnd, WM_USER, 0, 0), 0);
  EXPECT_EQ(SendMessage(0, WM_USER, 0, 0), 0);
  EXPECT_EQ(SendMessage(0x7FFFFFFF, WM_USER, 0, 0), 0);
  std::atomic<LRESULT> fromWorker{-1};
  std::thread worker([&] { fromWorker = SendMessage(hwnd, WM_USER, 0, 0); });
  worker.join();
  EXPECT_EQ(fromWorker.load(), 0);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(20));
}

TEST(SendMessage, OwnerThreadEndingWithoutHandlingAnswersZero) {
  std::promise<HWND> made;
  std::thread owner([&] {
    made.set_value(AllocateHWnd([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 7; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // never pumps
  });
  const HWND hwnd = made.get_future().get();
  EXPECT_EQ(SendMessage(hwnd, WM_USER, 0, 0), 0);
  owner.join();
}

TEST(SendMessage, WindowDestroyedBeforeHandlingAnswersZero) {
  std::promise<HWND> made;
  std::promise<void> sending;
  std::future<void> sendingStarted = sending.get_future();
  std::atomic<int> calls{0};
  std::thread owner([&] {
    const HWND hwnd = AllocateHWnd([&](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return ++calls; });
    made.set_value(hwnd);
    sendingStarted.wait();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the send is queued by now
    DestroyWindow(hwnd);
    ProcessMessages();  // what is still queued reaches no procedure
  });
  const HWND hwnd = made.get_future().get();
  sending.set_value();
  const auto start = Clock::now();
  EXPECT_EQ(SendMessage(hwnd, WM_USER, 0, 0), 0);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(20));
  owner.join();
  EXPECT_EQ(calls.load(), 0);
}

TEST(SendMessage, ExceptionInProcedureStaysInside) {
  TestWindow window([](HWND, UINT, WPARAM, LPARAM) -> LRESULT {
    throw std::runtime_error("procedure failed");
  });
  EXPECT_EQ(SendMessage(window.Handle(), WM_USER, 0, 0), 0);
  std::atomic<LRESULT> fromWorker{-1};
  std::promise<void> done;
  std::future<void> finished = done.get_future();
  std::thread worker([&] {
    fromWorker = SendMessage(window.Handle(), WM_USER, 0, 0);
    done.set_value();
  });
  WaitPumping([&] { return finished.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
              20000);
  JoinWithin(worker, finished, 20000);
  EXPECT_EQ(fromWorker.load(), 0);
}

TEST(PostMessage, HundredThousandPostsFromFourThreadsArriveInOrder) {
  constexpr int kSenders = 4;
  constexpr int kPerSender = 25000;
  std::vector<int> next(kSenders, 0);
  int received = 0;
  bool inOrder = true;
  TestWindow window([&](HWND, UINT message, WPARAM sender, LPARAM sequence) -> LRESULT {
    if (message != WM_USER || sender >= kSenders) return 0;
    inOrder = inOrder && sequence == next[sender];
    next[sender] = static_cast<int>(sequence) + 1;
    ++received;
    return 0;
  });
  // Senders faster than the receiver meet the queue's bound; they then
  // back off and post the same message again, as a producer must.
  const auto deadline = Clock::now() + std::chrono::seconds(60);
  std::atomic<int> lost{0};
  std::vector<std::thread> senders;
  for (int s = 0; s < kSenders; ++s) {
    senders.emplace_back([&, s] {
      for (int i = 0; i < kPerSender; ++i) {
        while (!PostMessage(window.Handle(), WM_USER, static_cast<WPARAM>(s), i)) {
          if (Clock::now() >= deadline) {
            ++lost;
            break;
          }
          std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
      }
    });
  }
  MSG msg;
  while (received + lost.load() < kSenders * kPerSender && Clock::now() < deadline) {
    if (PeekMessage(msg)) {
      DispatchMessage(msg);
    } else {
      WaitPumping([&] { return PeekMessage(msg, 0, 0, 0, PM_NOREMOVE); }, 100);
    }
  }
  for (std::thread& t : senders) t.join();
  EXPECT_EQ(lost.load(), 0);
  EXPECT_EQ(received, kSenders * kPerSender);
  EXPECT_TRUE(inOrder);
}

TEST(PostMessage, FullQueueRefusesAndLosesNothingQueued) {
  int handled = 0;
  TestWindow window([&](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return ++handled; });
  for (size_t i = 0; i < MessageQueue::kMaxPosted; ++i) {
    ASSERT_TRUE(PostMessage(window.Handle(), WM_USER, i, 0));
  }
  EXPECT_FALSE(PostMessage(window.Handle(), WM_USER, 0, 0));
  EXPECT_TRUE(ProcessMessages());
  EXPECT_EQ(handled, static_cast<int>(MessageQueue::kMaxPosted));
  EXPECT_TRUE(PostMessage(window.Handle(), WM_USER, 0, 0));
  EXPECT_TRUE(ProcessMessages());
}

TEST(MessageLoop, PeekFiltersAndKeeps) {
  TestWindow a([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
  TestWindow b([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
  MSG msg;
  EXPECT_FALSE(PeekMessage(msg));
  ASSERT_TRUE(PostMessage(a.Handle(), WM_USER + 1, 1, 0));
  ASSERT_TRUE(PostMessage(b.Handle(), WM_USER + 2, 2, 0));
  ASSERT_TRUE(PeekMessage(msg, 0, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.wParam, 1u);
  ASSERT_TRUE(PeekMessage(msg, b.Handle()));
  EXPECT_EQ(msg.message, WM_USER + 2);
  EXPECT_FALSE(PeekMessage(msg, 0, WM_USER + 2, WM_USER + 9));
  ASSERT_TRUE(PeekMessage(msg, 0, WM_USER, WM_USER + 1));
  EXPECT_EQ(msg.hwnd, a.Handle());
  EXPECT_FALSE(PeekMessage(msg));
}

TEST(MessageLoop, ProcessMessagesHandlesOnlyWhatIsPending) {
  int handled = 0;
  TestWindow window([&](HWND self, UINT, WPARAM, LPARAM) -> LRESULT {
    ++handled;
    PostMessage(self, WM_USER, 0, 0);  // always one more
    return 0;
  });
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(PostMessage(window.Handle(), WM_USER, 0, 0));
  EXPECT_TRUE(ProcessMessages());
  EXPECT_EQ(handled, 3);
  EXPECT_TRUE(ProcessMessages());
  EXPECT_EQ(handled, 6);
}

TEST(MessageLoop, QuitEndsTheLoopAfterEarlierPosts) {
  std::vector<WPARAM> seen;
  TestWindow window([&](HWND, UINT, WPARAM wParam, LPARAM) -> LRESULT {
    seen.push_back(wParam);
    return 0;
  });
  ASSERT_TRUE(PostMessage(window.Handle(), WM_USER, 1, 0));
  PostQuitMessage(7);
  ASSERT_TRUE(PostMessage(window.Handle(), WM_USER, 2, 0));
  // ProcessMessages handles the posts and leaves the quit for the loop.
  EXPECT_FALSE(ProcessMessages());
  EXPECT_EQ(seen, (std::vector<WPARAM>{1, 2}));
  MSG msg;
  EXPECT_FALSE(GetMessage(msg));
  EXPECT_EQ(msg.message, WM_QUIT);
  EXPECT_EQ(msg.wParam, 7u);
  EXPECT_TRUE(ProcessMessages());
}

TEST(MessageLoop, WaitPumpingAnswersSendsAndKeepsItsBound) {
  TestWindow window([](HWND, UINT, WPARAM wParam, LPARAM) -> LRESULT { return wParam + 1; });
  std::atomic<bool> stop{false};
  std::atomic<LRESULT> answer{0};
  std::thread worker([&] {
    answer = SendMessage(window.Handle(), WM_USER, 1, 0);
    stop = true;
  });
  // The way a stop waits for its thread while values are still sent to it.
  EXPECT_TRUE(WaitPumping([&] { return stop.load(); }, 20000));
  worker.join();
  EXPECT_EQ(answer.load(), 2);
  const auto start = Clock::now();
  EXPECT_FALSE(WaitPumping([] { return false; }, 50));
  const auto waited = Clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(50));
  EXPECT_LT(waited, std::chrono::seconds(20));
}

TEST(Timer, ArrivesOnTheOwnerThreadUntilKilled) {
  std::atomic<int> ticks{0};
  std::atomic<uint32_t> tickThread{0};
  TestWindow window([&](HWND, UINT message, WPARAM id, LPARAM) -> LRESULT {
    if (message == WM_TIMER && id == 5) {
      ++ticks;
      tickThread = ThisThread();
    }
    return 0;
  });
  // Set from another thread; still delivered on the owner's.
  std::thread setter([&] { EXPECT_TRUE(SetTimer(window.Handle(), 5, 10)); });
  setter.join();
  EXPECT_TRUE(WaitPumping([&] { return ticks.load() >= 3; }, 20000));
  EXPECT_EQ(tickThread.load(), ThisThread());
  EXPECT_TRUE(KillTimer(window.Handle(), 5));
  EXPECT_FALSE(KillTimer(window.Handle(), 5));
  ProcessMessages();
  const int after = ticks.load();
  WaitPumping([] { return false; }, 60);
  EXPECT_EQ(ticks.load(), after);
  EXPECT_FALSE(SetTimer(0, 1, 10));
}

TEST(Timer, OnlyOneTickWaitsAtATime) {
  int ticks = 0;
  TestWindow window([&](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
    if (message == WM_TIMER) ++ticks;
    return 0;
  });
  ASSERT_TRUE(SetTimer(window.Handle(), 1, 10));
  std::this_thread::sleep_for(std::chrono::milliseconds(120));  // not pumping
  EXPECT_TRUE(ProcessMessages());
  EXPECT_EQ(ticks, 1);
  // Destroying the window ends its timers.
  const HWND hwnd = window.Handle();
  ASSERT_TRUE(DestroyWindow(hwnd));
  EXPECT_FALSE(KillTimer(hwnd, 1));
}

}  // namespace
