#include "platform/com/OpcStream.h"

#include <gtest/gtest.h>

#include <cstring>

namespace platform::com {
namespace {

OpcStreamItem Item(OPCHANDLE h, WORD q, const VARIANT& v, std::uint32_t low = 0) {
  return OpcStreamItem{h, q, FILETIME{low, 0x01D9ABCD}, v};
}

std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t{b[at + 3]} << 24);
}

TEST(OpcStream, TimeFormatLayoutByteByByte) {
  VariantValue r4(2.5f);
  auto bytes = BuildOpcDataStream(7, 99, S_OK, std::vector{Item(3, 0xC0, r4.Get(), 0x11223344)}, true);
  ASSERT_EQ(bytes.size(), 20u + 20u + 16u);
  EXPECT_EQ(U32(bytes, 0), 56u);  // dwSize
  EXPECT_EQ(U32(bytes, 4), 1u);   // dwItemCount
  EXPECT_EQ(U32(bytes, 8), 7u);   // hClientGroup
  EXPECT_EQ(U32(bytes, 12), 99u);
  EXPECT_EQ(U32(bytes, 16), 0u);
  EXPECT_EQ(U32(bytes, 20), 3u);   // hClient
  EXPECT_EQ(U32(bytes, 24), 40u);  // dwValueOffset
  EXPECT_EQ(bytes[28], 0xC0);      // wQuality
  EXPECT_EQ(U32(bytes, 32), 0x11223344u);  // ftTimeStampItem low
  EXPECT_EQ(bytes[40], VT_R4);
  float f = 0;
  std::memcpy(&f, &bytes[48], 4);
  EXPECT_EQ(f, 2.5f);
}

TEST(OpcStream, BothFormatsParseBack) {
  VariantValue r8(10.25);
  VariantValue i4(std::int32_t{-5});
  VariantValue text(std::u16string_view(u"abc"));
  std::vector items{Item(0, 0xC0, r8.Get(), 1), Item(1, 0x00, text.Get(), 2), Item(2, 0xD8, i4.Get(), 3)};
  for (bool withTime : {true, false}) {
    auto bytes = BuildOpcDataStream(0, 5, S_FALSE, items, withTime);
    ASSERT_FALSE(bytes.empty());
    OpcStreamReader reader(bytes.data(), bytes.size(), withTime);
    OPCGROUPHEADER h{};
    ASSERT_TRUE(reader.ReadHeader(h));
    EXPECT_EQ(h.dwSize, bytes.size());
    EXPECT_EQ(h.dwItemCount, 3u);
    EXPECT_EQ(h.hrStatus, S_FALSE);
    for (std::uint32_t i = 0; i < 3; ++i) {
      OPCITEMHEADER1 ih;
      std::memset(&ih, 0xA5, sizeof ih);  // every field is written
      ASSERT_TRUE(reader.ReadItem(i, ih));
      EXPECT_EQ(ih.hClient, i);
      EXPECT_EQ(ih.wQuality, items[i].wQuality);
      EXPECT_EQ(ih.ftTimeStampItem.dwLowDateTime, withTime ? i + 1 : 0u);
      VariantValue v;
      ASSERT_EQ(reader.ReadValue(ih.dwValueOffset, v.Get()), S_OK);
      EXPECT_EQ(v.Get().vt, items[i].value.vt);
    }
    OPCITEMHEADER1 ih{};
    ASSERT_TRUE(reader.ReadItem(1, ih));
    VariantValue v;
    ASSERT_EQ(reader.ReadValue(ih.dwValueOffset, v.Get()), S_OK);
    EXPECT_EQ(WideView(v.Get().bstrVal), u"abc");
  }
}

// The 8-byte kinds and a DECIMAL travel in their VARIANT's sixteen bytes,
// read only where all of them lie in the stream.
TEST(OpcStream, WideKindsTravelWithinTheirVariant) {
  VARIANT i8, cy, dec;
  VariantInit(&i8);
  i8.vt = VT_I8;
  i8.llVal = -(std::int64_t{1} << 40);
  VariantInit(&cy);
  cy.vt = VT_CY;
  cy.cyVal.int64 = 70000;
  VariantInit(&dec);
  SetVariantDecimal(dec, DECIMAL{0, 2, DECIMAL_NEG, 3, 12345});
  auto bytes = BuildOpcDataStream(0, 1, S_OK, std::vector{Item(0, 0xC0, i8), Item(1, 0xC0, cy), Item(2, 0xC0, dec)},
                                  false);
  ASSERT_EQ(bytes.size(), 20u + 3 * 12u + 3 * 16u);
  OpcStreamReader reader(bytes.data(), bytes.size(), false);
  const VARIANT* sent[] = {&i8, &cy, &dec};
  for (std::uint32_t i = 0; i < 3; ++i) {
    OPCITEMHEADER1 ih{};
    ASSERT_TRUE(reader.ReadItem(i, ih));
    VariantValue v;
    ASSERT_EQ(reader.ReadValue(ih.dwValueOffset, v.Get()), S_OK);
    EXPECT_EQ(std::memcmp(&v.Get(), sent[i], sizeof(VARIANT)), 0) << i;
  }
  OpcStreamReader cut(bytes.data(), bytes.size() - 1, false);
  VariantValue v;
  EXPECT_EQ(cut.ReadValue(static_cast<DWORD>(bytes.size() - 16), v.Get()), E_INVALIDARG);
}

TEST(OpcStream, GlobalBlockHoldsTheStream) {
  VariantValue r8(1.0);
  HGLOBAL h = WriteOpcDataStream(1, 2, S_OK, std::vector{Item(0, 0xC0, r8.Get())}, false);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(GlobalSize(h), 20u + 12u + 16u);
  EXPECT_EQ(GlobalLockCount(h), 0);
  GlobalFree(h);
  VARIANT odd;
  VariantInit(&odd);
  odd.vt = 12;
  EXPECT_EQ(WriteOpcDataStream(1, 2, S_OK, std::vector{Item(0, 0xC0, odd)}, false), nullptr);
}

TEST(OpcStream, MalformedStreamsAreRefusedNotOverread) {
  VariantValue text(std::u16string_view(u"abcdef"));
  auto good = BuildOpcDataStream(0, 1, S_OK, std::vector{Item(0, 0xC0, text.Get())}, true);
  OPCGROUPHEADER h{};
  {  // shorter than a header
    OpcStreamReader r(good.data(), 10, true);
    EXPECT_FALSE(r.ReadHeader(h));
  }
  {  // dwSize larger than the block
    auto bad = good;
    bad[0] = static_cast<std::uint8_t>(bad.size() + 1);
    OpcStreamReader r(bad.data(), bad.size(), true);
    EXPECT_FALSE(r.ReadHeader(h));
  }
  {  // an item count whose headers cannot fit
    auto bad = good;
    std::uint32_t huge = 0x10000000;
    std::memcpy(&bad[4], &huge, 4);
    OpcStreamReader r(bad.data(), bad.size(), true);
    EXPECT_FALSE(r.ReadHeader(h));
    OPCITEMHEADER1 ih{};
    EXPECT_FALSE(r.ReadItem(5, ih));
  }
  {  // value offset beyond the stream, and a string count beyond it
    OpcStreamReader r(good.data(), good.size(), true);
    VariantValue v;
    EXPECT_EQ(r.ReadValue(static_cast<DWORD>(good.size() - 8), v.Get()), E_INVALIDARG);
    EXPECT_EQ(r.ReadValue(0xFFFFFFF0u, v.Get()), E_INVALIDARG);
    auto bad = good;
    std::uint32_t count = 1000;
    std::memcpy(&bad[40 + 16], &count, 4);
    OpcStreamReader rb(bad.data(), bad.size(), true);
    EXPECT_EQ(rb.ReadValue(40, v.Get()), E_INVALIDARG);
    bad = good;
    bad[40] = 0x7F;  // unknown type
    OpcStreamReader rt(bad.data(), bad.size(), true);
    EXPECT_EQ(rt.ReadValue(40, v.Get()), DISP_E_BADVARTYPE);
  }
  {  // a reader over the wrong format stays within the bytes
    OpcStreamReader r(good.data(), good.size(), false);
    ASSERT_TRUE(r.ReadHeader(h));
    OPCITEMHEADER1 ih{};
    EXPECT_TRUE(r.ReadItem(0, ih));
  }
}

}  // namespace
}  // namespace platform::com
