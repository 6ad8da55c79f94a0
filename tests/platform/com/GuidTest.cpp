#include "platform/com/Guid.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "platform/com/OpcDa.h"

namespace platform::com {
namespace {

TEST(Guid, TextRoundTripKeepsWindowsLayout) {
  GUID g{};
  ASSERT_TRUE(StringToGuid("{15EEE945-B447-4659-ABE2-8E4FF2BBFC65}", g));
  EXPECT_EQ(g.Data1, 0x15EEE945u);
  EXPECT_EQ(g.Data2, 0xB447u);
  EXPECT_EQ(g.Data3, 0x4659u);
  EXPECT_EQ(g.Data4[0], 0xABu);
  EXPECT_EQ(g.Data4[7], 0x65u);
  EXPECT_EQ(GuidToString(g), "{15EEE945-B447-4659-ABE2-8E4FF2BBFC65}");
  auto bytes = GuidToBytes(g);
  // First three groups little-endian, the rest as written.
  const std::uint8_t expected[16] = {0x45, 0xE9, 0xEE, 0x15, 0x47, 0xB4, 0x59, 0x46,
                                     0xAB, 0xE2, 0x8E, 0x4F, 0xF2, 0xBB, 0xFC, 0x65};
  EXPECT_EQ(0, std::memcmp(bytes.data(), expected, 16));
  EXPECT_EQ(GuidFromBytes(bytes.data()), g);
}

TEST(Guid, LowerCaseAcceptedMalformedRefused) {
  GUID g{};
  EXPECT_TRUE(StringToGuid("{63d5f432-cfe4-11d1-b2c8-0060083ba1fb}", g));
  EXPECT_EQ(g, CATID_OPCDAServer20);
  GUID untouched = CLSID_OpcServerList;
  for (const char* bad : {"", "63D5F432-CFE4-11D1-B2C8-0060083BA1FB", "{63D5F432-CFE4-11D1-B2C8-0060083BA1F}",
                          "{63D5F432-CFE4-11D1-B2C80060083BA1FBX}", "{63D5F432+CFE4-11D1-B2C8-0060083BA1FB}",
                          "{63D5F43G-CFE4-11D1-B2C8-0060083BA1FB}", " {63D5F432-CFE4-11D1-B2C8-0060083BA1FB}"}) {
    EXPECT_FALSE(StringToGuid(bad, untouched)) << bad;
  }
  EXPECT_EQ(untouched, CLSID_OpcServerList);
}

TEST(Guid, CreatedGuidsAreVersion4AndDistinct) {
  std::set<std::string> seen;
  for (int i = 0; i < 200; ++i) {
    GUID g{};
    ASSERT_EQ(CoCreateGuid(&g), S_OK);
    EXPECT_EQ(g.Data3 >> 12, 4);
    EXPECT_EQ(g.Data4[0] & 0xC0, 0x80);
    EXPECT_TRUE(seen.insert(GuidToString(g)).second);
  }
  EXPECT_EQ(CoCreateGuid(nullptr), E_INVALIDARG);
}

TEST(Guid, PublishedIdentifiersMatchTheirText) {
  EXPECT_EQ(GuidToString(IOPCServerList2::iid), "{9DD0B56C-AD9E-43EE-8305-487F3188BF7A}");
  EXPECT_EQ(GuidToString(IOPCServerList::iid), "{13486D50-4821-11D2-A494-3CB306C10000}");
  EXPECT_EQ(GuidToString(CLSID_OpcServerList), "{13486D51-4821-11D2-A494-3CB306C10000}");
  EXPECT_EQ(GuidToString(CATID_OPCDAServer20), "{63D5F432-CFE4-11D1-B2C8-0060083BA1FB}");
  EXPECT_EQ(GuidToString(IUnknown::iid), "{00000000-0000-0000-C000-000000000046}");
}

}  // namespace
}  // namespace platform::com
