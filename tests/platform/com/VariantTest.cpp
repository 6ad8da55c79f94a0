#include "platform/com/Variant.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>

namespace platform::com {
namespace {

VARIANT Make(VARTYPE vt) {
  VARIANT v;
  VariantInit(&v);
  v.vt = vt;
  return v;
}

TEST(Variant, NumericTypesToSingle) {
  float f = 0;
  VARIANT v = Make(VT_UI2);
  v.uiVal = 65535;
  ASSERT_EQ(VariantToSingle(v, f), S_OK);
  EXPECT_EQ(f, 65535.0f);
  v = Make(VT_I1);
  v.cVal = -128;
  ASSERT_EQ(VariantToSingle(v, f), S_OK);
  EXPECT_EQ(f, -128.0f);
  v = Make(VT_BOOL);
  v.boolVal = VARIANT_TRUE;
  ASSERT_EQ(VariantToSingle(v, f), S_OK);
  EXPECT_EQ(f, -1.0f);
  v = Make(VT_R8);
  v.dblVal = 10.005;
  ASSERT_EQ(VariantToSingle(v, f), S_OK);
  EXPECT_EQ(f, 10.005f);
  v = Make(VT_EMPTY);
  ASSERT_EQ(VariantToSingle(v, f), S_OK);
  EXPECT_EQ(f, 0.0f);
}

VARIANT Decimal(std::uint32_t hi, std::uint64_t lo, std::uint8_t scale, std::uint8_t sign) {
  VARIANT v = Make(VT_EMPTY);
  SetVariantDecimal(v, DECIMAL{0, scale, sign, hi, lo});
  return v;
}

// The 64-bit, machine-int, currency and decimal kinds convert from, to
// numbers and to text; they are no conversion targets.
TEST(Variant, WideNumericKindsConvert) {
  VARIANT i8 = Make(VT_I8), ui8 = Make(VT_UI8), in = Make(VT_INT), uin = Make(VT_UINT), cy = Make(VT_CY);
  struct Case {
    VARIANT v;
    VARTYPE to;
    HRESULT hr;
    double number;          // the result as a number, for a numeric target
    std::u16string_view text = {};  // for VT_BSTR
  };
  const auto with = [](VARIANT v, auto set) { set(v); return v; };
  const std::int64_t oddI8 = (std::int64_t{1} << 60) + (std::int64_t{1} << 36) + 1;  // just above a float half-way
  const Case cases[] = {
      {with(i8, [](VARIANT& v) { v.llVal = 42; }), VT_R4, S_OK, 42},
      {with(i8, [&](VARIANT& v) { v.llVal = oddI8; }), VT_R4, S_OK, 0x1.000002p60},  // one rounding
      {with(i8, [](VARIANT& v) { v.llVal = INT64_MIN; }), VT_R4, S_OK, -0x1p63},
      {with(i8, [](VARIANT& v) { v.llVal = 300; }), VT_UI1, DISP_E_OVERFLOW, 0},
      {with(i8, [](VARIANT& v) { v.llVal = -7; }), VT_BSTR, S_OK, 0, u"-7"},
      {with(ui8, [](VARIANT& v) { v.ullVal = UINT64_MAX; }), VT_R4, S_OK, 0x1p64},
      {with(ui8, [](VARIANT& v) { v.ullVal = UINT64_MAX; }), VT_I4, DISP_E_OVERFLOW, 0},
      {with(ui8, [](VARIANT& v) { v.ullVal = UINT64_MAX; }), VT_BSTR, S_OK, 0, u"18446744073709551615"},
      {with(ui8, [](VARIANT& v) { v.ullVal = 65535; }), VT_UI2, S_OK, 65535},
      {with(in, [](VARIANT& v) { v.intVal = -5; }), VT_I2, S_OK, -5},
      {with(uin, [](VARIANT& v) { v.uintVal = 4000000000u; }), VT_I4, DISP_E_OVERFLOW, 0},
      {with(cy, [](VARIANT& v) { v.cyVal.int64 = -15000; }), VT_R8, S_OK, -1.5},
      {with(cy, [](VARIANT& v) { v.cyVal.int64 = 25000; }), VT_I4, S_OK, 2},  // half to even
      {with(cy, [](VARIANT& v) { v.cyVal.int64 = 70000; }), VT_BSTR, S_OK, 0, u"7"},
      {with(cy, [](VARIANT& v) { v.cyVal.int64 = INT64_MIN; }), VT_BSTR, S_OK, 0, u"-922337203685477,5808"},
      {Decimal(0, 12345, 2, DECIMAL_NEG), VT_R8, S_OK, -123.45},
      {Decimal(0, 12345, 2, DECIMAL_NEG), VT_BSTR, S_OK, 0, u"-123,45"},
      {Decimal(1, 0, 3, 0), VT_BSTR, S_OK, 0, u"18446744073709551,616"},
      {Decimal(0, 5, 28, 0), VT_BSTR, S_OK, 0, u"0,0000000000000000000000000005"},
      {Decimal(0xFFFFFFFFu, UINT64_MAX, 0, 0), VT_R4, S_OK, 0x1p96},
      {Decimal(0, 1, 29, 0), VT_R4, E_INVALIDARG, 0},
      {Decimal(0, 1, 0, 1), VT_R4, E_INVALIDARG, 0},
      {with(i8, [](VARIANT& v) { v.llVal = 1; }), VT_I8, DISP_E_BADVARTYPE, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "vt " << c.v.vt << " to " << c.to);
    VariantValue out;
    ASSERT_EQ(VariantChangeType(&out.Get(), &c.v, 0, c.to), c.hr);
    if (FAILED(c.hr)) continue;
    if (c.to == VT_BSTR) {
      EXPECT_EQ(WideView(out.Get().bstrVal), c.text);
    } else if (c.to == VT_R4) {
      EXPECT_EQ(out.Get().fltVal, static_cast<float>(c.number));
    } else {
      VariantValue r8;
      ASSERT_EQ(VariantChangeType(&r8.Get(), &out.Get(), 0, VT_R8), S_OK);
      EXPECT_EQ(r8.Get().dblVal, c.number);
    }
  }
  // A copy keeps a DECIMAL's sixteen bytes.
  VARIANT d = Decimal(7, 8, 9, DECIMAL_NEG), copy = Make(VT_EMPTY);
  ASSERT_EQ(VariantCopy(&copy, &d), S_OK);
  EXPECT_EQ(std::memcmp(&copy, &d, sizeof d), 0);
}

// A text ends at its length, also where its characters run on.
TEST(Variant, TextIsReadUpToItsLength) {
  VariantValue text(std::u16string_view(u"1234"));
  BSTR chars = text.Get().bstrVal;
  std::uint32_t bytes = 0;
  std::memcpy(&bytes, reinterpret_cast<char*>(chars) - 4, 4);
  chars[4] = u'5';  // no terminating zero
  float f = 0;
  ASSERT_EQ(VariantToSingle(text.Get(), f), S_OK);
  EXPECT_EQ(f, 1234.0f);
  const std::uint32_t shorter = 4;  // two characters: "12"
  std::memcpy(reinterpret_cast<char*>(chars) - 4, &shorter, 4);
  ASSERT_EQ(VariantToSingle(text.Get(), f), S_OK);
  EXPECT_EQ(f, 12.0f);
  VariantValue copy = text;
  EXPECT_EQ(SysStringLen(copy.Get().bstrVal), 2u);
  chars[4] = 0;
  std::memcpy(reinterpret_cast<char*>(chars) - 4, &bytes, 4);
}

TEST(Variant, SingleOverflowFailsAndLeavesResultAlone) {
  float f = 7;
  VARIANT v = Make(VT_R8);
  v.dblVal = 1e39;
  EXPECT_EQ(VariantToSingle(v, f), DISP_E_OVERFLOW);
  v.dblVal = -1e300;
  EXPECT_EQ(VariantToSingle(v, f), DISP_E_OVERFLOW);
  v.dblVal = INFINITY;
  EXPECT_EQ(VariantToSingle(v, f), DISP_E_OVERFLOW);
  EXPECT_EQ(f, 7.0f);
  v.dblVal = FLT_MAX;
  EXPECT_EQ(VariantToSingle(v, f), S_OK);
}

TEST(Variant, TextConvertsOnlyWhenItIsANumber) {
  float f = 0;
  VariantValue comma(std::u16string_view(u" 12,5 "));
  ASSERT_EQ(VariantToSingle(comma.Get(), f), S_OK);
  EXPECT_EQ(f, 12.5f);
  VariantValue point(std::u16string_view(u"-1.5e2"));
  ASSERT_EQ(VariantToSingle(point.Get(), f), S_OK);
  EXPECT_EQ(f, -150.0f);
  for (const char16_t* bad : {u"", u"abc", u"1,2,3", u"12x", u"1e", u"--1", u"inf", u"nan", u"0x10", u"."}) {
    VariantValue text{std::u16string_view(bad)};
    EXPECT_EQ(VariantToSingle(text.Get(), f), DISP_E_TYPEMISMATCH);
  }
  VariantValue huge(std::u16string_view(u"1e400"));
  EXPECT_EQ(VariantToSingle(huge.Get(), f), DISP_E_OVERFLOW);
  VariantValue big(std::u16string_view(u"1e39"));
  EXPECT_EQ(VariantToSingle(big.Get(), f), DISP_E_OVERFLOW);
}

TEST(Variant, IntegerTargetsCheckRangeAndRoundHalfToEven) {
  VARIANT out;
  VariantInit(&out);
  VARIANT v = Make(VT_R8);
  v.dblVal = 2.5;
  ASSERT_EQ(VariantChangeType(&out, &v, 0, VT_I4), S_OK);
  EXPECT_EQ(out.lVal, 2);
  v.dblVal = 3.5;
  ASSERT_EQ(VariantChangeType(&out, &v, 0, VT_I2), S_OK);
  EXPECT_EQ(out.iVal, 4);
  v.dblVal = 65535.4;
  ASSERT_EQ(VariantChangeType(&out, &v, 0, VT_UI2), S_OK);
  EXPECT_EQ(out.uiVal, 65535);
  v.dblVal = 65535.6;
  EXPECT_EQ(VariantChangeType(&out, &v, 0, VT_UI2), DISP_E_OVERFLOW);
  v.dblVal = -0.6;
  EXPECT_EQ(VariantChangeType(&out, &v, 0, VT_UI1), DISP_E_OVERFLOW);
  v.dblVal = NAN;
  EXPECT_EQ(VariantChangeType(&out, &v, 0, VT_I4), DISP_E_OVERFLOW);
  VARIANT u = Make(VT_UI4);
  u.ulVal = 0xFFFFFFFFu;
  EXPECT_EQ(VariantChangeType(&out, &u, 0, VT_I4), DISP_E_OVERFLOW);
  ASSERT_EQ(VariantChangeType(&out, &u, 0, VT_R8), S_OK);
  EXPECT_EQ(out.dblVal, 4294967295.0);
}

TEST(Variant, BoolAndTextTargets) {
  VARIANT out;
  VariantInit(&out);
  VariantValue yes(std::u16string_view(u" TRUE "));
  ASSERT_EQ(VariantChangeType(&out, &yes.Get(), 0, VT_BOOL), S_OK);
  EXPECT_EQ(out.boolVal, VARIANT_TRUE);
  VARIANT zero = Make(VT_R4);
  ASSERT_EQ(VariantChangeType(&out, &zero, 0, VT_BOOL), S_OK);
  EXPECT_EQ(out.boolVal, VARIANT_FALSE);

  VARIANT r = Make(VT_R8);
  r.dblVal = 1.5;
  ASSERT_EQ(VariantChangeType(&out, &r, 0, VT_BSTR), S_OK);
  EXPECT_EQ(WideView(out.bstrVal), u"1,5");
  VariantClear(&out);
  VARIANT i = Make(VT_I4);
  i.lVal = -42;
  ASSERT_EQ(VariantChangeType(&out, &i, 0, VT_BSTR), S_OK);
  EXPECT_EQ(WideView(out.bstrVal), u"-42");
  EXPECT_EQ(SysStringLen(out.bstrVal), 3u);
  VariantClear(&out);
  EXPECT_EQ(out.vt, VT_EMPTY);
}

TEST(Variant, InPlaceConversionFreesTheOldText) {
  VariantValue v(std::u16string_view(u"17"));
  ASSERT_EQ(VariantChangeType(&v.Get(), &v.Get(), 0, VT_UI1), S_OK);
  EXPECT_EQ(v.Get().vt, VT_UI1);
  EXPECT_EQ(v.Get().bVal, 17);
  VariantValue t(std::u16string_view(u"x"));
  EXPECT_EQ(VariantChangeType(&t.Get(), &t.Get(), 0, VT_I4), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(t.Get().vt, VT_BSTR);  // unchanged on failure
}

TEST(Variant, CopyIsDeepAndUnsupportedTypesAreRefused) {
  VariantValue a(std::u16string_view(u"Ёлка"));
  VariantValue b = a;
  EXPECT_NE(a.Get().bstrVal, b.Get().bstrVal);
  EXPECT_EQ(WideView(b.Get().bstrVal), u"Ёлка");
  VARIANT odd = Make(12);  // VT_VARIANT is not handled
  VARIANT out;
  VariantInit(&out);
  EXPECT_EQ(VariantCopy(&out, &odd), DISP_E_BADVARTYPE);
  EXPECT_EQ(out.vt, VT_EMPTY);
  EXPECT_EQ(VariantChangeType(&out, &odd, 0, VT_R8), DISP_E_BADVARTYPE);
  VARIANT r = Make(VT_R8);
  EXPECT_EQ(VariantChangeType(&out, &r, 0, 12), DISP_E_BADVARTYPE);
}

TEST(Variant, DateRangeIsChecked) {
  VARIANT out;
  VariantInit(&out);
  VARIANT r = Make(VT_R8);
  r.dblVal = 45000.25;
  ASSERT_EQ(VariantChangeType(&out, &r, 0, VT_DATE), S_OK);
  EXPECT_EQ(out.date, 45000.25);
  r.dblVal = 1e10;
  EXPECT_EQ(VariantChangeType(&out, &r, 0, VT_DATE), DISP_E_OVERFLOW);
}

}  // namespace
}  // namespace platform::com
