#include "platform/os/Convert.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "platform/os/Text.h"

namespace {

using namespace platform::os;
using namespace platform::os::literals;

TEST(IntText, WritesDecimalAndPaddedHex) {
  EXPECT_EQ(IntToStr(0), "0");
  EXPECT_EQ(IntToStr(-17), "-17");
  EXPECT_EQ(IntToStr(INT64_MIN), "-9223372036854775808");
  EXPECT_EQ(IntToStr(INT64_MAX), "9223372036854775807");
  EXPECT_EQ(IntToHex(0x1F, 4), "001F");
  EXPECT_EQ(IntToHex(0xABCDEF, 2), "ABCDEF");
  EXPECT_EQ(IntToHex(0, 0), "0");
  EXPECT_EQ(IntToHex(UINT64_MAX, 0), "FFFFFFFFFFFFFFFF");
  EXPECT_EQ(IntToHex(1, -3), "1");
  EXPECT_EQ(IntToHex(1, 1000).size(), 64u);
}

struct IntCase {
  const char* text;
  std::int32_t value;
};

TEST(TryStrToInt, AcceptsDecimalAndHexForms) {
  const IntCase cases[] = {
      {"0", 0},
      {"42", 42},
      {"+42", 42},
      {"-42", -42},
      {"007", 7},
      {"  12 \t\r\n", 12},
      {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN},
      {"$1F", 31},
      {"$1f", 31},
      {"0x1F", 31},
      {"0X1f", 31},
      {"x10", 16},
      {"X10", 16},
      {"-$10", -16},
      {"+0x10", 16},
      {"$7FFFFFFF", INT32_MAX},
      {"$80000000", INT32_MIN},  // hex is a 32-bit pattern
      {"$FFFFFFFF", -1},
      {"0x00000000FFFFFFFF", -1},  // leading zeros do not count
      {"-$80000000", INT32_MIN},
      {" -0x1 ", -1},
  };
  for (const IntCase& c : cases) {
    std::int32_t v = 12345;
    EXPECT_TRUE(TryStrToInt(c.text, v)) << c.text;
    EXPECT_EQ(v, c.value) << c.text;
    EXPECT_EQ(StrToIntDef(c.text, 99), c.value) << c.text;
  }
}

TEST(TryStrToInt, RefusesGarbageAndOverflow) {
  const char* bad[] = {
      "",          "   ",       "+",          "-",         "$",         "0x",
      "x",         "12a",       "a12",        "1 2",       "- 1",       "1.0",
      "1,0",       "1e3",       "2147483648", "-2147483649", "99999999999999999999",
      "$100000000", "-$80000001", "-$FFFFFFFF", "$G",       "0x-1",      "--1",
      "+-1",       "$$1",       "0xx1",       "1-",        "\xB9\x31",
  };
  for (const char* text : bad) {
    std::int32_t v = 12345;
    EXPECT_FALSE(TryStrToInt(text, v)) << text;
    EXPECT_EQ(v, 12345) << text;  // untouched on failure
    EXPECT_EQ(StrToIntDef(text, -7), -7) << text;
  }
  // A NUL inside the text is garbage, not an end.
  std::int32_t v = 0;
  EXPECT_FALSE(TryStrToInt(std::string_view("12\0" "3", 4), v));
}

struct FloatCase {
  double value;
  const char* text;
};

TEST(FloatToStr, WritesGeneralFormatWith15Digits) {
  const FloatCase cases[] = {
      {0.0, "0"},
      {-0.0, "0"},
      {1.0, "1"},
      {-1.0, "-1"},
      {0.1, "0,1"},
      {-2.5, "-2,5"},
      {100.0, "100"},
      {1.0 / 3.0, "0,333333333333333"},
      {2.0 / 3.0, "0,666666666666667"},
      {123456789012345.0, "123456789012345"},
      {999999999999999.0, "999999999999999"},
      {1e15, "1E15"},
      {1.5e15, "1,5E15"},
      {-1.5e15, "-1,5E15"},
      {1234567890123456.0, "1,23456789012346E15"},
      {999999999999999.9, "1E15"},   // rounding carries into the exponent
      {0.00009999999999999999, "0,0001"},
      {1e100, "1E100"},
      {1.7976931348623157e308, "1,79769313486232E308"},
      {0.0001, "0,0001"},
      {0.00012345, "0,00012345"},
      {0.00001, "1E-5"},
      {1.5e-5, "1,5E-5"},
      {-1.5e-5, "-1,5E-5"},
      {1e-300, "1E-300"},
      {4.9406564584124654e-324, "4,94065645841247E-324"},
      {3.14159265358979, "3,14159265358979"},
      {0.1f, "0,100000001490116"},  // a 4-byte value shows its float error
      {12.5f, "12,5"},
  };
  for (const FloatCase& c : cases) EXPECT_EQ(FloatToStr(c.value), c.text) << c.text;
  EXPECT_EQ(FloatToStr(std::numeric_limits<double>::quiet_NaN()), "NAN");
  EXPECT_EQ(FloatToStr(std::numeric_limits<double>::infinity()), "INF");
  EXPECT_EQ(FloatToStr(-std::numeric_limits<double>::infinity()), "-INF");
}

struct ParseCase {
  const char* text;
  double value;
};

TEST(TryStrToFloat, AcceptsCommaOrPointAndExponent) {
  const ParseCase cases[] = {
      {"0", 0.0},           {"1", 1.0},           {"-1", -1.0},
      {"+2", 2.0},          {"1,5", 1.5},         {"1.5", 1.5},
      {" 1,5 ", 1.5},       {"\t-0,25\r\n", -0.25}, {",5", 0.5},
      {"5,", 5.0},          {".5", 0.5},          {"1E15", 1e15},
      {"1,5E15", 1.5e15},   {"1,5E-5", 1.5e-5},   {"1,5e+3", 1500.0},
      {"2147483648", 2147483648.0}, {"1e-400", 0.0}, {"0,000e999999999999", 0.0},
      {"1,7976931348623E308", 1.7976931348623e308},
  };
  for (const ParseCase& c : cases) {
    double v = 12345;
    EXPECT_TRUE(TryStrToFloat(c.text, v)) << c.text;
    EXPECT_DOUBLE_EQ(v, c.value) << c.text;
    EXPECT_DOUBLE_EQ(StrToFloatDef(c.text, 99), c.value) << c.text;
  }
}

TEST(TryStrToFloat, RefusesGarbageAndOverflow) {
  const char* bad[] = {"",     " ",    "-",     ",",     ".",      "1,2,3", "1.2.3", "1,5x",
                       "x1",   "1 5",  "1e",    "1e+",   "e5",     "1,5E1,5", "$10",  "0x10",
                       "NAN",  "INF",  "-INF",  "nan",   "1e309",  "-1e400", "1e99999999999999",
                       "--1",  "+-1",  "1_000",
                       "1,79769313486232E308"};  // FloatToStr of the largest double, rounded up
  for (const char* text : bad) {
    double v = 12345;
    EXPECT_FALSE(TryStrToFloat(text, v)) << text;
    EXPECT_EQ(v, 12345) << text;
    EXPECT_EQ(StrToFloatDef(text, -7.5), -7.5) << text;
  }
}

TEST(TryStrToFloat, ReadsBackWhatFloatToStrWrites) {
  const double values[] = {0.1, -2.5, 1.0 / 3.0, 123456789012345.0, 1.5e15,
                           1.5e-5,  1e-300, 6.02214076e23, -9.87654321e-7};
  for (double x : values) {
    double back = 0;
    ASSERT_TRUE(TryStrToFloat(FloatToStr(x), back)) << FloatToStr(x);
    EXPECT_NEAR(back, x, std::fabs(x) * 1e-14) << FloatToStr(x);
  }
}

TEST(Format, BuildsTheSystemsMessages) {
  EXPECT_EQ(Format("%s %d|%d", "OPC", 10, 2), "OPC 10|2");
  EXPECT_EQ(Format(std::string("DLM:: Тег %s содержит ошибку в строке роутинга."_cp),
                   std::string("T1")),
            std::string("DLM:: Тег T1 содержит ошибку в строке роутинга."_cp));
  // A format without a placeholder stands as it is; extra arguments are ignored.
  EXPECT_EQ(Format("Ошибка обработки команды."_cp, 5),
            std::string("Ошибка обработки команды."_cp));
  EXPECT_EQ(Format("Parameter %d required for method %s", 2, std::string_view("Open")),
            "Parameter 2 required for method Open");
  EXPECT_EQ(Format("100%% done"), "100% done");
  EXPECT_EQ(Format(""), "");
}

TEST(Format, WritesIntegersWithWidthPrecisionAndHex) {
  EXPECT_EQ(Format("%d", INT32_MIN), "-2147483648");
  EXPECT_EQ(Format("%d", INT64_MIN), "-9223372036854775808");
  EXPECT_EQ(Format("%d", UINT64_MAX), "18446744073709551615");
  EXPECT_EQ(Format("%i|%u", -5, 7u), "-5|7");
  EXPECT_EQ(Format("%u", -1), "4294967295");
  EXPECT_EQ(Format("[%5d][%-5d][%05d][%.3d][%05d]", 42, 42, 42, 7, -42),
            "[   42][42   ][00042][007][-0042]");
  EXPECT_EQ(Format("%x %X %08X", 255, 0xABCDu, 0x1F), "ff ABCD 0000001F");
  EXPECT_EQ(Format("%X", -1), "FFFFFFFF");  // pattern of the argument's own width
  EXPECT_EQ(Format("%X", std::int16_t{-1}), "FFFF");
  EXPECT_EQ(Format("%X", std::int64_t{-1}), "FFFFFFFFFFFFFFFF");
  EXPECT_EQ(Format("%c%c", 'A', 0xC0), "A\xC0");
}

TEST(Format, WritesFloatsWithComma) {
  EXPECT_EQ(Format("%.2f", 3.14159), "3,14");
  EXPECT_EQ(Format("%.0f", 2.5), "2");
  EXPECT_EQ(Format("%f", 1.5), "1,500000");
  EXPECT_EQ(Format("%8.3f|%-8.1f|%08.2f", -1.5, 2.25, -3.5), "  -1,500|2,2     |-0003,50");
  EXPECT_EQ(Format("%.3e", 12345.678), "1,235e+04");
  EXPECT_EQ(Format("%E", 1.5e-5), "1,500000E-05");
  EXPECT_EQ(Format("%g %g %G", 0.5, 1e20, 1e-10), "0,5 1e+20 1E-10");
  EXPECT_EQ(Format("%.2f %f", std::nan(""), -INFINITY), "NAN -INF");
  EXPECT_EQ(Format("%.2f", 1.5f), "1,50");
  EXPECT_EQ(Format("%.1024f", 1e308).size(), 309u + 1 + 1024);
}

TEST(Format, CutsAndPadsStrings) {
  EXPECT_EQ(Format("[%5s][%-5s][%.2s]", "ab", "ab", "abcdef"), "[   ab][ab   ][ab]");
  EXPECT_EQ(Format("%s", static_cast<const char*>(nullptr)), "");
  EXPECT_EQ(Format("%s%s", 'x', std::string("\x1B\0y", 3)), std::string("x\x1B\0y", 4));
}

TEST(Format, RefusesMismatchedOrMissingArguments) {
  EXPECT_THROW(Format("%d"), EConvertError);
  EXPECT_THROW(Format("%s %s", "a"), EConvertError);
  EXPECT_THROW(Format("%d", "text"), EConvertError);
  EXPECT_THROW(Format("%d", 1.5), EConvertError);
  EXPECT_THROW(Format("%x", 1.5), EConvertError);
  EXPECT_THROW(Format("%s", 5), EConvertError);
  EXPECT_THROW(Format("%s", 2.5), EConvertError);
  EXPECT_THROW(Format("%f", 5), EConvertError);
  EXPECT_THROW(Format("%c", 256), EConvertError);
  EXPECT_THROW(Format("%c", "ab"), EConvertError);
  EXPECT_THROW(Format("50%", 1), EConvertError);
  EXPECT_THROW(Format("%5", 1), EConvertError);
  EXPECT_THROW(Format("%q", 1), EConvertError);
  EXPECT_THROW(Format("%p", 1), EConvertError);
  EXPECT_THROW(Format("%99999d", 1), EConvertError);
  EXPECT_THROW(Format("%.2000f", 1.0), EConvertError);
  try {
    Format("value %d", "x");
    FAIL() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_NE(std::string(e.what()).find("value %d"), std::string::npos) << e.what();
  }
}

}  // namespace
