#include "platform/os/Variant.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/os/Time.h"

namespace platform::os {
namespace {

const Variant kNull = Variant::Null();
const Variant kEmpty = Variant::Empty();
const Variant kTrue = Variant::Boolean(true);
const Variant kFalse = Variant::Boolean(false);

Variant I(int32_t v) { return Variant::Integer(v); }
Variant D(double v) { return Variant::Double(v); }
Variant S(const char* v) { return Variant::String(v); }

TEST(VariantTest, IntegerKindsAreCutToTheirWidth) {
  EXPECT_EQ(Variant::Int(VarType::Byte, 256 + 7).IntValue(), 7);
  EXPECT_EQ(Variant::Int(VarType::ShortInt, 200).IntValue(), -56);
  EXPECT_EQ(Variant::Int(VarType::SmallInt, 40000).IntValue(), 40000 - 65536);
  EXPECT_EQ(Variant::Int(VarType::Word, -1).IntValue(), 65535);
  EXPECT_EQ(Variant::Int(VarType::LongWord, -1).IntValue(), 4294967295LL);
  EXPECT_THROW(Variant::Int(VarType::Double, 1), std::invalid_argument);
  EXPECT_THROW(kNull.IntValue(), EVariantError);
  EXPECT_THROW(S("1").DoubleValue(), EVariantError);
}

TEST(VariantTest, NullSpreadsThroughOperations) {
  for (const Variant& other : {I(1), D(2.5), S("x"), kTrue, kEmpty, kNull}) {
    EXPECT_TRUE(VarAdd(kNull, other).IsNull());
    EXPECT_TRUE(VarSub(other, kNull).IsNull());
    EXPECT_TRUE(VarMul(kNull, other).IsNull());
    EXPECT_TRUE(VarDiv(other, kNull).IsNull());
    EXPECT_TRUE(VarAnd(kNull, other).IsNull());
    EXPECT_TRUE(VarOr(other, kNull).IsNull());
  }
  EXPECT_TRUE(VarNeg(kNull).IsNull());
  EXPECT_TRUE(VarNot(kNull).IsNull());
}

TEST(VariantTest, NullComparesFirstAndEqualsOnlyNull) {
  EXPECT_EQ(VarCompare(kNull, kNull), 0);
  EXPECT_EQ(VarCompare(kNull, I(-1000)), -1);
  EXPECT_EQ(VarCompare(S(""), kNull), 1);
  EXPECT_EQ(VarCompare(kNull, kEmpty), -1);
}

TEST(VariantTest, IntegerArithmeticWidensInsteadOfOverflowing) {
  EXPECT_EQ(VarAdd(I(2), I(3)), I(5));
  EXPECT_EQ(VarAdd(I(2147483647), I(1)), D(2147483648.0));
  EXPECT_EQ(VarSub(I(-2147483647 - 1), I(1)), D(-2147483649.0));
  EXPECT_EQ(VarNeg(I(-2147483647 - 1)), D(2147483648.0));
  const Variant big = Variant::Int(VarType::LongWord, 4294967295LL);
  EXPECT_EQ(VarMul(big, big), D(4294967295.0 * 4294967295.0));
  EXPECT_EQ(VarMul(I(-3), Variant::Int(VarType::Byte, 7)), I(-21));
  EXPECT_EQ(VarAdd(kTrue, kTrue), I(-2));  // True is -1
  EXPECT_EQ(VarAdd(kEmpty, kEmpty), I(0));
  EXPECT_EQ(VarNeg(kTrue), I(1));
}

TEST(VariantTest, StringsAndMixedKinds) {
  EXPECT_EQ(VarAdd(S("ab"), S("cd")), S("abcd"));
  EXPECT_EQ(VarAdd(kEmpty, S("ab")), S("ab"));
  EXPECT_EQ(VarAdd(S("2,5"), I(1)), D(3.5));
  EXPECT_EQ(VarSub(S("5"), S("2")), D(3.0)) << "only + joins strings";
  EXPECT_EQ(VarMul(D(1.5), kTrue), D(-1.5));
  try {
    VarAdd(S("x"), I(1));
    FAIL() << "no failure";
  } catch (const EVariantError& e) {
    EXPECT_STREQ(e.what(), "Could not convert variant of type (String) into type (Double)");
  }
}

TEST(VariantTest, DateArithmetic) {
  const Variant day = Variant::Date(45000.25);
  EXPECT_EQ(VarAdd(day, I(1)), Variant::Date(45001.25));
  EXPECT_EQ(VarAdd(I(1), day), Variant::Date(45001.25));
  EXPECT_EQ(VarSub(day, D(0.25)), Variant::Date(45000.0));
  EXPECT_EQ(VarSub(day, Variant::Date(44999.25)), D(1.0));
  EXPECT_EQ(VarMul(day, I(2)), D(90000.5));
  EXPECT_EQ(VarNeg(day), Variant::Date(-45000.25));
}

TEST(VariantTest, FloatingResultsNeverNaNOrInfinite) {
  const double max = std::numeric_limits<double>::max();
  EXPECT_THROW(VarAdd(D(max), D(max)), EOverflow);
  EXPECT_THROW(VarMul(D(max), I(2)), EOverflow);
  EXPECT_THROW(VarDiv(D(max), D(0.5)), EOverflow);
  EXPECT_THROW(VarDiv(I(1), I(0)), EZeroDivide);
  EXPECT_THROW(VarDiv(I(0), D(0.0)), EInvalidOp);
  EXPECT_THROW(VarAdd(D(std::nan("")), I(1)), EInvalidOp);
  EXPECT_THROW(VarCompare(D(std::nan("")), I(1)), EInvalidOp);
  EXPECT_EQ(VarDiv(I(1), I(4)), D(0.25));
  EXPECT_STREQ(EOverflow().what(), "Floating point overflow");
  EXPECT_STREQ(EInvalidOp().what(), "Invalid floating point operation");
  EXPECT_STREQ(EZeroDivide().what(), "Floating point division by zero");
}

TEST(VariantTest, LogicalAndBitwise) {
  EXPECT_EQ(VarAnd(kTrue, kFalse), kFalse);
  EXPECT_EQ(VarOr(kTrue, kFalse), kTrue);
  EXPECT_EQ(VarNot(kFalse), kTrue);
  EXPECT_EQ(VarAnd(I(6), I(3)), I(2));
  EXPECT_EQ(VarOr(D(4.0), S("1")), I(5));
  EXPECT_EQ(VarAnd(kTrue, I(12)), I(12));
  EXPECT_EQ(VarNot(I(0)), I(-1));
  EXPECT_EQ(VarNot(kEmpty), I(-1));
  EXPECT_THROW(VarAnd(D(1e12), I(1)), EVariantError);
}

TEST(VariantTest, ComparisonRules) {
  EXPECT_EQ(VarCompare(I(2), D(2.0)), 0);
  EXPECT_EQ(VarCompare(Variant::Int(VarType::LongWord, 4294967295LL), I(-1)), 1);
  EXPECT_EQ(VarCompare(S("abc"), S("abd")), -1);
  EXPECT_EQ(VarCompare(S("ab"), S("abc")), -1);
  EXPECT_EQ(VarCompare(S("\xC0"), S("z")), 1) << "bytes compare unsigned";
  EXPECT_EQ(VarCompare(S("10"), I(9)), 1) << "a string beside a number is a number";
  EXPECT_EQ(VarCompare(kEmpty, S("")), 0);
  EXPECT_EQ(VarCompare(kEmpty, I(0)), 0);
  EXPECT_EQ(VarCompare(kEmpty, D(-0.5)), 1);
  EXPECT_EQ(VarCompare(kTrue, kFalse), -1) << "True is -1";
  EXPECT_EQ(VarCompare(kTrue, I(-1)), 0);
  EXPECT_EQ(VarCompare(kTrue, S("TRUE")), 0);
  EXPECT_EQ(VarCompare(kFalse, S("1")), 1);
  EXPECT_EQ(VarCompare(Variant::Date(EncodeDate(2023, 5, 1)), S("01.05.2023")), 0);
  EXPECT_EQ(VarCompare(S("02.05.2023"), Variant::Date(EncodeDate(2023, 5, 1))), 1);
  EXPECT_THROW(VarCompare(S("x"), I(1)), EVariantError);
  EXPECT_THROW(VarCompare(Variant::Date(1), S("x")), EVariantError);
  EXPECT_THROW(VarCompare(kTrue, S("yes")), EVariantError);
}

TEST(VariantTest, IntegerConversionRoundsHalvesToEvenAndKeeps32Bits) {
  EXPECT_EQ(D(2.5).ToInteger(), 2);
  EXPECT_EQ(D(3.5).ToInteger(), 4);
  EXPECT_EQ(D(-2.5).ToInteger(), -2);
  EXPECT_EQ(D(4294967295.0).ToInteger(), -1);
  EXPECT_EQ(D(-2147483648.0).ToInteger(), -2147483647 - 1);
  EXPECT_EQ(S("12,4").ToInteger(), 12);
  EXPECT_EQ(kTrue.ToInteger(), -1);
  EXPECT_THROW(D(4294967296.0).ToInteger(), EVariantError);
  EXPECT_THROW(D(-2147483649.0).ToInteger(), EVariantError);
  EXPECT_THROW(D(std::nan("")).ToInteger(), EVariantError);
  EXPECT_THROW(kNull.ToInteger(), EVariantError);
  EXPECT_EQ(I(-1).ToWord(), 65535);
  EXPECT_EQ(I(-32768).ToWord(), 32768);
  EXPECT_EQ(D(65535.4).ToWord(), 65535);
  EXPECT_THROW(I(65536).ToWord(), EVariantError);
  EXPECT_THROW(I(-32769).ToWord(), EVariantError);
  try {
    D(1e10).ToWord();
    FAIL() << "no failure";
  } catch (const EVariantError& e) {
    EXPECT_STREQ(e.what(), "Could not convert variant of type (Double) into type (Word)");
  }
}

TEST(VariantTest, BooleanAndDoubleConversions) {
  EXPECT_TRUE(S("true").ToBoolean());
  EXPECT_FALSE(S("FALSE").ToBoolean());
  EXPECT_FALSE(S("0").ToBoolean());
  EXPECT_TRUE(S("0,5").ToBoolean());
  EXPECT_FALSE(kEmpty.ToBoolean());
  EXPECT_TRUE(I(-3).ToBoolean());
  EXPECT_THROW(S("yes").ToBoolean(), EVariantError);
  EXPECT_THROW(kNull.ToBoolean(), EVariantError);
  EXPECT_EQ(S(" 1.5 ").ToDouble(), 1.5);
  EXPECT_EQ(kFalse.ToDouble(), 0.0);
  EXPECT_THROW(S("1e999").ToDouble(), EVariantError);
  EXPECT_THROW(kNull.ToDouble(), EVariantError);
}

TEST(VariantTest, DateText) {
  double d = 0;
  ASSERT_TRUE(TryStrToDate("01.05.2023", d));
  EXPECT_EQ(d, EncodeDate(2023, 5, 1));
  ASSERT_TRUE(TryStrToDate("1.5.23", d));
  EXPECT_EQ(d, EncodeDate(2023, 5, 1));
  ASSERT_TRUE(TryStrToDate("01.05.2023 06:00", d));
  EXPECT_EQ(d, EncodeDate(2023, 5, 1) + 0.25);
  ASSERT_TRUE(TryStrToDate("29.12.1899 06:00:00", d));
  EXPECT_EQ(d, -1.25) << "before day 0 the time still counts forward";
  ASSERT_TRUE(TryStrToDate("1.1.1", d));
  EXPECT_EQ(d, EncodeDate(2001, 1, 1));
  d = 7;
  for (const char* bad : {"", "1.5", "29.02.2023", "01.05.20234", "001.05.2023", "01.05.2023 24:00", "01.05.2023 1:2:3:4",
                          "01-05-2023", "01.05.2023x", "a.b.c", "01.05.2023  10:00"}) {
    EXPECT_FALSE(TryStrToDate(bad, d)) << bad;
    EXPECT_EQ(d, 7) << bad;
  }
  EXPECT_EQ(S("01.05.2023").ToDate(), EncodeDate(2023, 5, 1));
  EXPECT_EQ(I(3).ToDate(), 3.0);
  EXPECT_THROW(S("45000").ToDate(), EVariantError);
}

}  // namespace
}  // namespace platform::os
