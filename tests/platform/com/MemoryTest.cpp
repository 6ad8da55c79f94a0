#include "platform/com/Memory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "platform/com/DataTransfer.h"
#include "platform/com/OpcDa.h"
#include "platform/com/WideString.h"

namespace platform::com {
namespace {

TEST(GlobalMemory, LockUnlockSizeFree) {
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 40);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(GlobalSize(h), 40u);
  auto* p = static_cast<std::uint8_t*>(GlobalLock(h));
  ASSERT_NE(p, nullptr);
  for (int i = 0; i < 40; ++i) EXPECT_EQ(p[i], 0);
  std::memset(p, 0xAB, 40);
  EXPECT_EQ(GlobalLock(h), p);  // a second lock, same memory
  EXPECT_EQ(GlobalLockCount(h), 2);
  EXPECT_TRUE(GlobalUnlock(h));   // one lock remains
  EXPECT_FALSE(GlobalUnlock(h));  // now unlocked
  EXPECT_FALSE(GlobalUnlock(h));  // not locked at all
  EXPECT_EQ(GlobalFree(h), nullptr);
}

TEST(GlobalMemory, StaleAndForeignHandlesAreRefused) {
  HGLOBAL h = GlobalAlloc(0, 8);
  ASSERT_EQ(GlobalFree(h), nullptr);
  EXPECT_EQ(GlobalLock(h), nullptr);
  EXPECT_EQ(GlobalSize(h), 0u);
  EXPECT_EQ(GlobalFree(h), h);
  int local = 0;
  EXPECT_EQ(GlobalLock(&local), nullptr);
  EXPECT_EQ(GlobalLock(nullptr), nullptr);
  HGLOBAL next = GlobalAlloc(0, 8);
  EXPECT_NE(next, h);  // never reused
  GlobalFree(next);
  EXPECT_EQ(GlobalAlloc(0, kMaxComBlock + 1), nullptr);
}

TEST(GlobalMemory, ReleaseStgMediumFreesTheBlock) {
  STGMEDIUM m{TYMED_HGLOBAL, GlobalAlloc(0, 4), nullptr};
  HGLOBAL h = m.hGlobal;
  ReleaseStgMedium(&m);
  EXPECT_EQ(m.tymed, TYMED_NULL);
  EXPECT_EQ(m.hGlobal, nullptr);
  EXPECT_EQ(GlobalSize(h), 0u);
}

TEST(TaskMemory, WideCopiesAreTerminated) {
  char16_t* s = CoTaskMemWideString(u"Vendor");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(WideView(s), u"Vendor");
  CoTaskMemFree(s);
  CoTaskMemFree(nullptr);
  void* empty = CoTaskMemAlloc(0);
  EXPECT_NE(empty, nullptr);
  CoTaskMemFree(empty);
  EXPECT_EQ(CoTaskMemAlloc(kMaxComBlock + 1), nullptr);
}

TEST(ClipboardFormats, StableIdsFromC000WithoutCase) {
  // Ids depend on the order of first registration within the process; this
  // program registers nothing else before.
  std::uint32_t data = RegisterClipboardFormatA(kOpcStreamFormatData);
  std::uint32_t time = RegisterClipboardFormatA(kOpcStreamFormatDataTime);
  EXPECT_GE(data, 0xC000u);
  EXPECT_EQ(time, data + 1);
  EXPECT_EQ(RegisterClipboardFormatA("opcstmformatdata"), data);
  EXPECT_EQ(RegisterClipboardFormatA(kOpcStreamFormatDataTime), time);
  EXPECT_EQ(RegisterClipboardFormatA(""), 0u);
  EXPECT_EQ(RegisterClipboardFormatA(std::string(256, 'a')), 0u);
}

TEST(ClipboardFormats, ConcurrentRegistrationAgrees) {
  std::vector<std::uint32_t> ids(8);
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i)
    threads.emplace_back([&ids, i] { ids[i] = RegisterClipboardFormatA("ConcurrentFormat"); });
  for (auto& t : threads) t.join();
  for (auto id : ids) EXPECT_EQ(id, ids[0]);
}

TEST(WideText, Cp1251RoundTripsEveryByte) {
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  WideString wide = AnsiToWide(all);
  EXPECT_EQ(wide.size(), all.size());
  EXPECT_EQ(WideToAnsi(wide), all);
  EXPECT_EQ(AnsiToWide("\xC0\xFF\xA8\xB9"), u"АяЁ№");
  EXPECT_EQ(WideToAnsi(u"a\u4E2Dz"), "a?z");
}

TEST(WideText, BstrCarriesItsLength) {
  BSTR b = SysAllocString(std::u16string_view(u"a\0b", 3));
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(SysStringLen(b), 3u);
  EXPECT_EQ(b[3], 0);
  SysFreeString(b);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  BSTR e = SysAllocString(static_cast<const char16_t*>(nullptr));
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(SysStringLen(e), 0u);
  SysFreeString(e);
}

}  // namespace
}  // namespace platform::com
