#include "common/Evaluations.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "platform/os/Convert.h"
#include "platform/os/Text.h"
#include "platform/os/Time.h"

namespace common {
namespace {

using namespace platform::os::literals;
using platform::os::Cp1251ToUtf8;
using platform::os::VarType;

struct Outcome {
  Variant value;
  std::string error;
};

Outcome Evaluate(std::string_view expression) {
  TEvaluation evaluation;
  Outcome o;
  o.value = evaluation.Evaluation(expression, o.error);
  return o;
}

std::string Cp(std::string_view text) { return std::string(text); }

void ExpectNumber(std::string_view expression, double expected) {
  const Outcome o = Evaluate(expression);
  ASSERT_EQ(o.error, "") << expression << ": " << Cp1251ToUtf8(o.error);
  ASSERT_TRUE(o.value.IsNumber()) << expression;
  EXPECT_DOUBLE_EQ(o.value.ToDouble(), expected) << expression;
}

void ExpectValue(std::string_view expression, const Variant& expected) {
  const Outcome o = Evaluate(expression);
  ASSERT_EQ(o.error, "") << expression << ": " << Cp1251ToUtf8(o.error);
  EXPECT_TRUE(o.value == expected) << expression << " gave kind " << platform::os::VarTypeName(o.value.Type());
}

void ExpectBool(std::string_view expression, bool expected) { ExpectValue(expression, Variant::Boolean(expected)); }

void ExpectError(std::string_view expression, std::string_view expected) {
  const Outcome o = Evaluate(expression);
  EXPECT_EQ(o.error, expected) << expression << ": got \"" << Cp1251ToUtf8(o.error) << "\", want \""
                               << Cp1251ToUtf8(expected) << "\"";
  EXPECT_TRUE(o.value.IsNull()) << expression;
}

const std::string kPrefix = "TEvaluation:: ";

TEST(EvaluationsTest, PrecedenceAndLeftAssociativity) {
  ExpectNumber("1+2*3", 7);
  ExpectNumber("(1+2)*3", 9);
  ExpectNumber("2^3^2", 64);
  ExpectNumber("10/4", 2.5);
  ExpectNumber("10-4-3", 3);
  ExpectNumber("16/4/2", 2);
  ExpectNumber("2*3^2", 18);
  ExpectBool("1+2=3", true);
  // a<b<c compares the Boolean a<b (True = -1) with c.
  ExpectBool("1<2<3", true);
  ExpectBool("3>2>1", false);
}

TEST(EvaluationsTest, UnaryOperators) {
  ExpectNumber("-3", -3);
  ExpectNumber("--3", 3);
  ExpectNumber("+3", 3);
  ExpectNumber("2*-3", -6);
  ExpectNumber("2^-1", 0.5);
  ExpectNumber("-2^2", 0);   // (-2)^2: the power of a base <= 0 is 0
  ExpectNumber("0^0", 0);
  ExpectNumber("-1E-2", -0.01);  // "-" at the very first position is an operator
  ExpectValue("!0", Variant::Integer(-1));
  ExpectValue("!(1>2)", Variant::Boolean(true));
  ExpectValue("!!5", Variant::Integer(5));
}

TEST(EvaluationsTest, NumbersAndBlanks) {
  ExpectValue("1,5*2", Variant::Double(3));
  ExpectNumber("1.5", 1.5);
  ExpectNumber("1 2", 12);
  ExpectNumber(" \t1\r\n+ 2 ", 3);
  ExpectNumber("1E-2", 0.01);
  ExpectNumber("1e3", 1000);
  ExpectNumber(".5+5.", 5.5);
  ExpectNumber("(1)2", 1);      // text right after ")" is dropped
  ExpectNumber("(1)2+3", 4);
  // Malformed numbers and numbers beyond the double range fail.
  ExpectError("1E+5", "'1E' is not a valid floating point value");
  ExpectError("1.2.3", "'1.2.3' is not a valid floating point value");
  ExpectError("E", "'E' is not a valid floating point value");
  ExpectError("1E400", "'1E400' is not a valid floating point value");
  ExpectNumber("1E-400", 0);
}

// The server puts raw values into expressions as FloatToStr writes them
// ("1,5", "1,5E-5", "-2,5E-300"); values of up to 15 digits come back exactly.
TEST(EvaluationsTest, ReadsNumbersAsTheyAreWritten) {
  for (const double v : {1.5, -1.5, 0.0, 1e15, 1.5e-5, -2.5e-300, 123456789012345.0, 4294967295.0}) {
    const std::string text = platform::os::FloatToStr(v);
    ExpectNumber(text, v);
    ExpectNumber("10-" + text, 10 - v);
    ExpectNumber(text + "*2", 2 * v);
  }
  // A raw value that is no number never passes as one.
  ExpectError("NAN*2", kPrefix + Cp("Неизвестная переменная "_cp) + "NAN");
  ExpectError("10--INF", kPrefix + Cp("Неизвестная переменная "_cp) + "INF");
}

TEST(EvaluationsTest, StringConstants) {
  ExpectValue("' a b '", Variant::String(" a b "));
  ExpectValue("'a' + \"b\"", Variant::String("ab"));
  ExpectValue("'a\"", Variant::String("a"));  // either quote closes
  ExpectValue("'x+y(1'", Variant::String("x+y(1"));
  ExpectValue("''", Variant::String(""));
  ExpectValue("'2'+3", Variant::Double(5));
  ExpectError("'x'+1", "Could not convert variant of type (String) into type (Double)");
}

TEST(EvaluationsTest, LogicalLevelAndShortCut) {
  ExpectBool("5>3 & 2>1", true);
  ExpectBool("5<3 & 2>1", false);
  ExpectBool("5<3 & 2>1 | 1=1", true);
  ExpectBool("(5<3 & 1=1)", false);
  ExpectBool("5<3 | 2>1", true);
  ExpectValue("6&3", Variant::Integer(2));
  ExpectValue("6|3", Variant::Integer(7));
  ExpectValue("(1>0)&5", Variant::Integer(5));  // True is -1 beside a number
  // The decided left side keeps its value whatever the right one is...
  ExpectBool("(5<3)&[x]", false);
  ExpectBool("(5>3)|[x]", true);
  ExpectBool("(5<3)&7", false);
  // ...but the right side is still evaluated.
  ExpectError("(5<3)&(1/0>1)", kPrefix + Cp("Ошибка деления на ноль."_cp));
  // Argument evaluators have no short-cut: Null spreads, numbers go bitwise.
  ExpectValue("iif(1>0,(5<3)&[x],7)", Variant::Null());
  ExpectValue("iif(1>0,(5<3)&7,1)", Variant::Integer(0));
  ExpectValue("[x]&(5<3)", Variant::Null());
}

TEST(EvaluationsTest, Comparisons) {
  ExpectBool("1<2", true);
  ExpectBool("2>1", true);
  ExpectBool("2<=2", true);
  ExpectBool("2=<1", false);
  ExpectBool("2>=3", false);
  ExpectBool("3=>3", true);
  ExpectBool("2=2", true);
  ExpectBool("2<>2", false);
  ExpectBool("2#3", true);
  ExpectBool("2!=2", false);
  ExpectBool("'abc'<'abd'", true);
  ExpectBool("'ab'<'abc'", true);
  ExpectBool("'B'>'a'", false);  // byte by byte, case-sensitive
  ExpectBool("'10'>9", true);
  ExpectBool("(1>0)='true'", true);
  ExpectBool("(1>0)=-1", true);
  ExpectBool("[01.01.2000]>36000", true);
  ExpectBool("[01.05.2023]='01.05.2023'", true);
  ExpectBool("[x]=[y]", true);  // Null equals Null
  ExpectBool("[x]<0", true);    // and sorts first
  ExpectError("'x'>1", "Could not convert variant of type (String) into type (Double)");
}

TEST(EvaluationsTest, DivisionByZero) {
  const std::string message = kPrefix + Cp("Ошибка деления на ноль."_cp);
  ExpectError("1/0", message);
  ExpectError("1/(2-2)", message);
  ExpectError("0/0", message);
  ExpectError("1/'0'", message);
  ExpectError("1/(1<0)", message);  // False is 0
  ExpectValue("1/[x]", Variant::Null());
}

TEST(EvaluationsTest, DateConstants) {
  ExpectValue("[05.2023]", Variant::Date(platform::os::EncodeDate(2023, 5, 1)));
  ExpectValue("[2.5.2023]", Variant::Date(platform::os::EncodeDate(2023, 5, 2)));
  ExpectValue("[2.5.23]", Variant::Date(platform::os::EncodeDate(2023, 5, 2)));
  ExpectValue("[05.2023]+1", Variant::Date(platform::os::EncodeDate(2023, 5, 2)));
  ExpectValue("[02.05.2023]-[01.05.2023]", Variant::Double(1));
  ExpectValue("[1.2.3.4]", Variant::Null());  // a variable, Null in the base evaluator
  ExpectValue("[1 2.2023]", Variant::Date(platform::os::EncodeDate(2023, 12, 1)));  // blanks go inside [ ] too
  ExpectError("[32.01.2023]", "'32.01.2023' is not a valid date");
  ExpectError("[13.2023]", "'01.13.2023' is not a valid date");
  ExpectError("[.]", "'01..' is not a valid date");
}

TEST(EvaluationsTest, EvaluatorFailureTexts) {
  const std::string unclosed = kPrefix + Cp("Отсутствует завершающий символ в константе."_cp);
  ExpectError("'abc", unclosed);
  ExpectError("1+\"abc", unclosed);
  ExpectError("[abc", unclosed);
  ExpectError("Max(1,2", Cp(") не найдена"_cp));
  ExpectError("Max(1,'2,3)", Cp(") не найдена"_cp));
  ExpectError("(1+2", kPrefix + Cp(") отсутствует"_cp));
  ExpectError("1+", kPrefix + Cp("Синтаксическая ошибка."_cp));
  ExpectError("*2", kPrefix + Cp("Синтаксическая ошибка."_cp));
  ExpectError("()", kPrefix + Cp("Синтаксическая ошибка."_cp));
  ExpectError("1)", kPrefix + Cp("Незавершенная формула"_cp));
  ExpectError("2(3)", kPrefix + Cp("Незавершенная формула"_cp));
  ExpectError("foo", kPrefix + Cp("Неизвестная переменная "_cp) + "foo");
  ExpectError("foo(1)", kPrefix + Cp("Неизвестная функция "_cp) + "foo");
  ExpectError("Time-1", kPrefix + Cp("Неизвестная переменная "_cp) + "Time-1");  // "-" after "e"
  // Arguments are evaluated before the function is looked up.
  ExpectError("foo(1/0)", kPrefix + kPrefix + Cp("Ошибка деления на ноль."_cp));
}

TEST(EvaluationsTest, ArgumentFailuresGainAPrefixPerLevel) {
  const std::string unknown = Cp("Неизвестная переменная "_cp) + "foo";
  ExpectError("Max(foo,1)", kPrefix + kPrefix + unknown);
  ExpectError("Max(Max(foo,1),1)", kPrefix + kPrefix + kPrefix + unknown);
  ExpectError("Max(Ln(0),1)", kPrefix + "Floating point division by zero");
  ExpectError("Max(Max(1,2,3),1)", kPrefix + "Too many parameters for method Max");
  ExpectError("Max(Max(1,2),1", Cp(") не найдена"_cp));
  ExpectError("Max(Max(1,(2),1)", Cp(") не найдена"_cp));
  ExpectError("Max((1,2)", Cp(") не найдена"_cp));
}

TEST(EvaluationsTest, EmptyExpressionGivesNullWithoutError) {
  ExpectValue("", Variant::Null());
  ExpectValue(" \t\r\n", Variant::Null());
}

TEST(EvaluationsTest, OneEvaluatorServesManyExpressions) {
  TEvaluation evaluation;
  std::string error;
  EXPECT_TRUE(evaluation.Evaluation("1/0", error).IsNull());
  EXPECT_NE(error, "");
  EXPECT_EQ(evaluation.Evaluation("2*3", error).ToDouble(), 6);
  EXPECT_EQ(error, "");
  EXPECT_TRUE(evaluation.Evaluation("", error).IsNull());
  EXPECT_EQ(error, "");
}

TEST(EvaluationsTest, IfIsIif) {
  ExpectNumber("IF(1>0,1,2)", 1);
  ExpectNumber("if(1<0,1,2)", 2);
  ExpectNumber("iIf(1<0,1,2)", 2);
  ExpectValue("iif('true','a','b')", Variant::String("a"));
  // Every argument is evaluated before the call.
  ExpectError("iif(1>0,1,1/0)", kPrefix + kPrefix + Cp("Ошибка деления на ноль."_cp));
  ExpectError("iif('x',1,2)", "Type mismatch in parameter 1 for method iif");
  ExpectError("iif(,1,2)", "Type mismatch in parameter 1 for method iif");
}

TEST(EvaluationsTest, NamesAndInvocationMessages) {
  ExpectNumber("PI", 3.141592653589793);
  ExpectNumber("pi*2", 2 * 3.141592653589793);
  ExpectError("PI()", "Too many parameters for method PI");
  ExpectBool("True", true);
  ExpectBool("FALSE", false);
  ExpectError("True()", "Too many parameters for method True");
  ExpectNumber("MAX(1,2)", 2);
  ExpectNumber("max(1,2)", 2);
  ExpectNumber("Max(1,2)", 2);
  ExpectError("Max(1,5,2)", "Too many parameters for method Max");  // three arguments
  ExpectError("Max(1)", "Parameter 2 required for method Max");
  ExpectError("Max", "Parameter 1 required for method Max");
  ExpectError("Ln('abc')", "Type mismatch in parameter 1 for method Ln");
  ExpectError("Ln()", "Type mismatch in parameter 1 for method Ln");
  ExpectError("Round(1,'x')", "Type mismatch in parameter 2 for method Round");
  ExpectError("LOG10(1,2)", "Too many parameters for method log10");
}

TEST(EvaluationsTest, ByteAndWordFunctions) {
  ExpectValue("Swap16(4660)", Variant::Integer(13330));
  ExpectValue("Swap16(305419896)", Variant::Integer(305428566));
  ExpectValue("Swap32(305419896)", Variant::Integer(1450709556));
  ExpectValue("Swap32(4294967295)", Variant::Integer(-1));  // unsigned 32-bit raw values keep their bits
  ExpectValue("Swap16(2.5)", Variant::Integer(512));       // rounded, halves to even
  ExpectValue("Swap16('4660')", Variant::Integer(13330));
  ExpectValue("GetByteFromInt32(305419896,3)", Variant::Int(VarType::Byte, 18));
  ExpectValue("GetByteFromInt32(305419896,0)", Variant::Int(VarType::Byte, 0x78));
  ExpectValue("GetByteFromInt32(305419896,4)", Variant::Null());
  ExpectValue("GetWordFromInt32(305419896,1)", Variant::Int(VarType::Word, 4660));
  ExpectValue("GetWordFromInt32(305419896,0)", Variant::Int(VarType::Word, 0x5678));
  ExpectValue("GetWordFromInt32(305419896,2)", Variant::Null());
  ExpectValue("GetWordFromInt32(-1,0)", Variant::Int(VarType::Word, 65535));
  ExpectValue("Swap16(GetByteFromInt32(1,4))", Variant::Null());
  ExpectError("Swap16(1E10)", "Could not convert variant of type (Double) into type (Integer)");
  ExpectError("Swap32('x')", "Could not convert variant of type (String) into type (Integer)");
}

TEST(EvaluationsTest, BitFunctions) {
  ExpectValue("IsBitSet(65536,16)", Variant::Int(VarType::Byte, 0));
  ExpectValue("IsBitSet(32768,15)", Variant::Int(VarType::Byte, 1));
  ExpectValue("IsBitSet(5,32)", Variant::Int(VarType::Byte, 1));
  ExpectValue("IsBitSet(5,33)", Variant::Int(VarType::Byte, 0));
  ExpectBool("IsBitSet(5,2)=1", true);
  ExpectValue("ShiftLeft(1,15)", Variant::Int(VarType::Word, 32768));
  ExpectValue("ShiftLeft(1,16)", Variant::Int(VarType::Word, 0));
  ExpectValue("ShiftLeft(1,31)", Variant::Int(VarType::Word, 0));
  ExpectValue("ShiftLeft(1,32)", Variant::Int(VarType::Word, 1));
  ExpectValue("ShiftLeft(1,33)", Variant::Int(VarType::Word, 2));
  ExpectValue("ShiftLeft(65535,65535)", Variant::Int(VarType::Word, 0));
  ExpectValue("ShiftLeft(3,47)", Variant::Int(VarType::Word, 0x8000));
  ExpectValue("ShiftRight(32768,15)", Variant::Int(VarType::Word, 1));
  ExpectValue("ShiftRight(65535,16)", Variant::Int(VarType::Word, 0));
  ExpectValue("ShiftRight(65535,40)", Variant::Int(VarType::Word, 255));
  ExpectValue("ShiftLeft(-1,0)", Variant::Int(VarType::Word, 65535));
  ExpectError("ShiftLeft(65536,1)", "Type mismatch in parameter 1 for method ShiftLeft");
}

TEST(EvaluationsTest, Rounding) {
  ExpectNumber("Round(2.46,0)", 3);
  ExpectNumber("Round(2.44,0)", 2);
  ExpectNumber("Round(1.25,1)", 1.3);
  ExpectNumber("Round(1234,-2)", 1200);
  ExpectNumber("Round(-2.46,0)", -3);
  ExpectNumber("Round(0.5,0)", 1);
  ExpectNumber("Round(1.5,0.4)", 2);  // N is an integer parameter, 0.4 rounds to 0
  // Counts beyond the extended range leave D as it is or round it away.
  ExpectNumber("Round(1.5,5000)", 1.5);
  ExpectNumber("Round(1.5,2147483647)", 1.5);
  ExpectNumber("Round(1234,-5000)", 0);
  ExpectNumber("Round(1E300,2)", 1e300);        // |B| >= 2^53: nothing left to round
  ExpectNumber("Round(9007199254740993,0)", 9007199254740992.0);
  ExpectError("Round(1.5E308,-308)", "Floating point overflow");  // 2E308 is beyond a double
  EXPECT_EQ(RoundDecimals(-0.0, 3), 0.0);
  EXPECT_EQ(RoundDecimals(1.005, 2), 1.01);  // the stored 1.00499.. still shows digit 5 after rounding
}

TEST(EvaluationsTest, MaxAndMin) {
  ExpectNumber("Max(1,2)", 2);
  ExpectNumber("Max(3,2)", 3);
  ExpectNumber("Min(1,2)", 1);
  ExpectNumber("Min(3,2)", 2);
  // Equal arguments give the second one.
  ExpectValue("Max(2,'2')", Variant::String("2"));
  ExpectValue("Min('2',2)", Variant::Double(2));
  ExpectValue("Max('a','b')", Variant::String("b"));
  ExpectValue("Max([x],1)", Variant::Double(1));  // Null sorts first
  ExpectValue("Min([x],1)", Variant::Null());
}

TEST(EvaluationsTest, MathFunctions) {
  const double pi = 3.141592653589793;
  ExpectNumber("Cos(0)", 1);
  ExpectNumber("Sin(PI/2)", 1);
  ExpectNumber("Tan(PI/4)", std::tan(pi / 4));
  ExpectNumber("Cosh(1)", std::cosh(1.0));
  ExpectNumber("Sinh(1)", std::sinh(1.0));
  ExpectNumber("Tanh(1)", std::tanh(1.0));
  ExpectNumber("Arccos(1)", 0);
  ExpectNumber("Arcsin(1)", pi / 2);
  ExpectNumber("Arctan(1)", pi / 4);
  ExpectNumber("Exp(0)", 1);
  ExpectNumber("Ln(Exp(2))", 2);
  ExpectNumber("Log2(8)", 3);
  ExpectNumber("log10(1000)", 3);
  ExpectNumber("Abs(-2.5)", 2.5);
  ExpectNumber("Int(-2.7)", -2);
  ExpectNumber("Int(2.7)", 2);
}

TEST(EvaluationsTest, FloatingPointFailuresAreReported) {
  ExpectError("Ln(0)", "Floating point division by zero");
  ExpectError("Log2(0)", "Floating point division by zero");
  ExpectError("log10(0)", "Floating point division by zero");
  ExpectError("Ln(-1)", "Invalid floating point operation");
  ExpectError("log10(-1)", "Invalid floating point operation");
  ExpectError("Arccos(2)", "Invalid floating point operation");
  ExpectError("Arcsin(-1.5)", "Invalid floating point operation");
  ExpectError("Exp(1000)", "Floating point overflow");
  ExpectError("Sinh(1000)", "Floating point overflow");
  ExpectError("Cosh(-1000)", "Floating point overflow");
  ExpectError("1E308*10", "Floating point overflow");
  ExpectError("1E308+1E308", "Floating point overflow");
  ExpectError("-1E308-1E308", "Floating point overflow");
  ExpectError("1E308/1E-10", "Floating point overflow");
  ExpectError("10^400", "Floating point overflow");
  ExpectNumber("10^-400", 0);  // underflow is no failure
}

std::string Repeat(std::string_view part, int count) {
  std::string s;
  for (int i = 0; i < count; ++i) s += part;
  return s;
}

TEST(EvaluationsTest, NestingIsBounded) {
  const std::string syntax = kPrefix + Cp("Синтаксическая ошибка."_cp);
  const int limit = TEvaluation::kMaxNesting;
  ExpectNumber(Repeat("(", limit) + "1" + Repeat(")", limit), 1);
  ExpectError(Repeat("(", limit + 1) + "1" + Repeat(")", limit + 1), syntax);
  ExpectNumber(Repeat("-", limit) + "1", 1);
  ExpectError(Repeat("-", limit + 1) + "1", syntax);
  ExpectError(Repeat("!", 100000) + "1", syntax);
  // Calls count too, through their argument evaluators, and the message
  // stays the plain syntax error however deep the failure was.
  ExpectNumber(Repeat("Abs(", limit) + "1" + Repeat(")", limit), 1);
  ExpectError(Repeat("Abs(", limit) + "-1" + Repeat(")", limit), syntax);  // the sign is one level more
  ExpectError(Repeat("Abs(", limit + 1) + "1" + Repeat(")", limit + 1), syntax);
  ExpectError(Repeat("Abs(", 100) + Repeat("(", limit - 99) + "1" + Repeat(")", limit - 99) + Repeat(")", 100),
              syntax);
  ExpectError(Repeat("Max(1,", 1000) + "1" + Repeat(")", 1000), syntax);
}

// A derived evaluator: a property, a function, variables, and argument
// evaluators of its own class.
class TScaledEvaluation : public TEvaluation {
 public:
  static const TPublishedTable& Table() {
    static const TPublishedTable table = [] {
      TPublishedTable t(&EvaluationFunctions());
      t.AddProperty("Scale", [](const TEvaluation&) { return Variant::Double(10); });
      t.AddProperty("PI", [](const TEvaluation&) { return Variant::Double(3); });
      t.AddFunction("Twice", {TParamKind::Double},
                    [](TEvaluation&, std::span<const Variant> a) { return Variant::Double(2 * a[0].DoubleValue()); });
      return t;
    }();
    return table;
  }

 protected:
  void GetVariable(const std::string& name, Variant& value) override {
    if (name == "[x]") value = Variant::Double(5);
    if (name == "[bad]") throw std::runtime_error("no such variable");
  }
  std::unique_ptr<TEvaluation> NewArgumentEvaluator() const override {
    return std::make_unique<TScaledEvaluation>();
  }
  const TPublishedTable& Published() const override { return Table(); }
};

Outcome EvaluateScaled(std::string_view expression) {
  TScaledEvaluation evaluation;
  Outcome o;
  o.value = evaluation.Evaluation(expression, o.error);
  return o;
}

TEST(EvaluationsTest, DerivedEvaluatorPublishesMore) {
  EXPECT_EQ(EvaluateScaled("scale*2").value.ToDouble(), 20);
  EXPECT_EQ(EvaluateScaled("[x]+1").value.ToDouble(), 6);
  EXPECT_EQ(EvaluateScaled("TWICE([x])").value.ToDouble(), 10);
  EXPECT_EQ(EvaluateScaled("Max(Twice([x]),Scale)").value.ToDouble(), 10);  // arguments see the derived class
  EXPECT_EQ(EvaluateScaled("Swap16(4660)").value.ToDouble(), 13330);        // ancestors' functions stay
  EXPECT_EQ(EvaluateScaled("PI").value.ToDouble(), 3);                       // a property before a function
  EXPECT_EQ(EvaluateScaled("PI()").error, "Too many parameters for method PI");
  EXPECT_EQ(EvaluateScaled("[bad]").error, "no such variable");
  EXPECT_EQ(EvaluateScaled("Max([bad],1)").error, kPrefix + "no such variable");
  EXPECT_EQ(Evaluate("Twice(1)").error, kPrefix + Cp("Неизвестная функция "_cp) + "Twice");
}

}  // namespace
}  // namespace common
