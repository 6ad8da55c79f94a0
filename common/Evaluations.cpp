#include "common/Evaluations.h"

#include <cmath>

#include "platform/os/Convert.h"
#include "platform/os/Format.h"
#include "platform/os/Text.h"

namespace common {

using namespace platform::os::literals;
using platform::os::EConvertError;
using platform::os::EOverflow;
using platform::os::VarType;

namespace {

// Operators by number; the scan tries them in this order.
constexpr std::string_view kOperators[] = {
    "",   "&",  "|",  "<",  ">", "<=", "=<", ">=", "=>", "=", "<>",
    "#",  "!=", "+",  "-",  "/", "*",  "^",  "!",  "(",  ")",
};
constexpr int kLastOperator = 20;
enum : int {
  opAnd = 1, opOr = 2, opLess = 3, opGreater = 4, opLessEq = 5, opLessEq2 = 6,
  opGreaterEq = 7, opGreaterEq2 = 8, opEqual = 9, opNotEqual = 10, opNotEqual2 = 11,
  opNotEqual3 = 12, opPlus = 13, opMinus = 14, opDivide = 15, opMultiply = 16,
  opPower = 17, opNot = 18, opOpen = 19, opClose = 20,
};

bool IsQuote(char c) { return c == '"' || c == '\''; }

bool StandsAt(const std::string& text, size_t i, int op) {
  return text.compare(i, kOperators[op].size(), kOperators[op]) == 0;
}

// Blanks (codes <= 32) go, except inside a quoted run: a quote of either
// kind opens it and the next quote of either kind closes it.
std::string RemoveBlanks(std::string_view expression) {
  std::string out;
  out.reserve(expression.size());
  bool quoted = false;
  for (const char c : expression) {
    if (IsQuote(c))
      quoted = !quoted;
    else if (!quoted && static_cast<unsigned char>(c) <= 32)
      continue;
    out += c;
  }
  return out;
}

bool IsNumberText(const std::string& token) {
  return token.find_first_not_of("0123456789.,+-Ee") == std::string::npos;
}

// "[d.m.y]" or "[m.y]": digits and one or two dots between the brackets.
int DateDots(const std::string& token) {
  if (token.size() < 3) return 0;
  const std::string_view inner = std::string_view(token).substr(1, token.size() - 2);
  if (inner.find_first_not_of("0123456789.") != std::string_view::npos) return 0;
  int dots = 0;
  for (const char c : inner) dots += c == '.';
  return dots == 1 || dots == 2 ? dots : 0;
}

Variant DateConstant(const std::string& token, int dots) {
  std::string text = token.substr(1, token.size() - 2);
  if (dots == 1) text.insert(0, "01.");
  double date = 0.0;
  if (!platform::os::TryStrToDate(text, date)) throw EConvertError("'" + text + "' is not a valid date");
  return Variant::Date(date);
}

Variant NumberConstant(const std::string& token) {
  double value = 0.0;
  if (!platform::os::TryStrToFloat(token, value))
    throw EConvertError("'" + token + "' is not a valid floating point value");
  return Variant::Double(value);
}

// base ^ exponent = exp(exponent * ln base) for a positive base, else 0.
Variant Power(const Variant& base, const Variant& exponent) {
  if (base.IsNull() || exponent.IsNull()) return Variant::Null();
  const double b = base.ToDouble();
  const double e = exponent.ToDouble();
  if (!(b > 0.0)) return Variant::Double(0.0);
  const double r = static_cast<double>(std::exp(static_cast<long double>(e) * std::log(static_cast<long double>(b))));
  if (!std::isfinite(r)) throw EOverflow();
  return Variant::Double(r);
}

bool CompareResult(int op, int c) {
  switch (op) {
    case opLess: return c < 0;
    case opGreater: return c > 0;
    case opLessEq:
    case opLessEq2: return c <= 0;
    case opGreaterEq:
    case opGreaterEq2: return c >= 0;
    case opEqual: return c == 0;
    default: return c != 0;
  }
}

class DepthGuard {
 public:
  explicit DepthGuard(int& depth) : depth_(depth) { ++depth_; }
  ~DepthGuard() { --depth_; }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;

 private:
  int& depth_;
};

}  // namespace

class TEvaluation::ENestingTooDeep : public EEvaluationError {
 public:
  ENestingTooDeep() : EEvaluationError(std::string("TEvaluation:: ") + std::string("Синтаксическая ошибка."_cp)) {}
};

TEvaluation::TEvaluation() : TEvaluation(true) {}

TEvaluation::TEvaluation(bool strictBoolean) : StrictBoolean(strictBoolean) {}

TEvaluation::~TEvaluation() = default;

void TEvaluation::GetVariable(const std::string&, Variant&) {}

std::unique_ptr<TEvaluation> TEvaluation::NewArgumentEvaluator() const {
  return std::unique_ptr<TEvaluation>(new TEvaluation(false));
}

const TPublishedTable& TEvaluation::Published() const { return EvaluationFunctions(); }

void TEvaluation::Fail(std::string_view text) {
  throw EEvaluationError("TEvaluation:: " + std::string(text));
}

Variant TEvaluation::Evaluation(std::string_view expression, std::string& errorMessage) {
  errorMessage.clear();
  failed_ = false;
  nestingFailed_ = false;
  depth_ = depthBase_;
  Text = RemoveBlanks(expression);
  Position = 1;
  TokenType = 0;
  Token.clear();
  if (Text.empty()) return Variant::Null();
  try {
    Variant result = ParseLogical();
    if (TokenType != 0) Fail("Незавершенная формула"_cp);
    return result;
  } catch (const ENestingTooDeep& e) {
    nestingFailed_ = true;
    errorMessage = e.what();
  } catch (const std::exception& e) {
    errorMessage = e.what();
  }
  failed_ = true;
  return Variant::Null();
}

void TEvaluation::NextToken() {
  TokenType = 0;
  Token.clear();
  const size_t length = Text.size();
  if (Position > length) return;
  const size_t start = Position - 1;
  size_t i = start;
  bool quoted = false, bracketed = false;
  int found = 0;
  for (; i < length; ++i) {
    const char c = Text[i];
    if (quoted) {
      quoted = !IsQuote(c);
    } else if (bracketed) {
      bracketed = c != ']';
    } else if (IsQuote(c)) {
      quoted = true;
    } else if (c == '[') {
      bracketed = true;
    } else {
      for (int op = 1; op <= kLastOperator && found == 0; ++op) {
        // "-" after E or e belongs to a number's exponent (1E-5); at the
        // first position there is nothing before it.
        const bool exponentSign = op == opMinus && i > 0 && (Text[i - 1] == 'E' || Text[i - 1] == 'e');
        if (StandsAt(Text, i, op) && !exponentSign) found = op;
      }
      if (found != 0) break;
    }
  }
  Token = Text.substr(start, i - start);
  if (quoted || bracketed) Fail("Отсутствует завершающий символ в константе."_cp);
  if (found == 0) {
    Position = length + 1;
    return;
  }
  for (int op = found + 1; op <= kLastOperator; ++op)
    if (kOperators[op].size() > kOperators[found].size() && StandsAt(Text, i, op)) found = op;
  TokenType = found;
  Position = i + kOperators[found].size() + 1;
}

Variant TEvaluation::ParseLogical() {
  Variant left = ParseComparison();
  while (TokenType == opAnd || TokenType == opOr) {
    const int op = TokenType;
    Variant right = ParseComparison();
    // The short-cut: False & x stays False, True | x stays True; x is
    // still parsed and evaluated.
    const bool decided = StrictBoolean && left.Type() == VarType::Boolean &&
                         left.BooleanValue() == (op == opOr);
    if (!decided) left = op == opAnd ? VarAnd(left, right) : VarOr(left, right);
  }
  return left;
}

Variant TEvaluation::ParseComparison() {
  Variant left = ParseSum();
  while (TokenType >= opLess && TokenType <= opNotEqual3) {
    const int op = TokenType;
    const Variant right = ParseSum();
    left = Variant::Boolean(CompareResult(op, platform::os::VarCompare(left, right)));
  }
  return left;
}

Variant TEvaluation::ParseSum() {
  Variant left = ParseProduct();
  while (TokenType == opPlus || TokenType == opMinus) {
    const int op = TokenType;
    const Variant right = ParseProduct();
    left = op == opPlus ? VarAdd(left, right) : VarSub(left, right);
  }
  return left;
}

Variant TEvaluation::ParseProduct() {
  Variant left = ParsePower();
  while (TokenType == opDivide || TokenType == opMultiply) {
    const int op = TokenType;
    const Variant right = ParsePower();
    if (op == opMultiply) {
      left = VarMul(left, right);
    } else {
      if (platform::os::VarCompare(right, Variant::Integer(0)) == 0) Fail("Ошибка деления на ноль."_cp);
      left = VarDiv(left, right);
    }
  }
  return left;
}

Variant TEvaluation::ParsePower() {
  Variant left = ParseUnary();
  while (TokenType == opPower) left = Power(left, ParseUnary());
  return left;
}

Variant TEvaluation::ParseUnary() {
  DepthGuard guard(depth_);
  if (depth_ > kMaxNesting + 1) throw ENestingTooDeep();
  NextToken();
  if (!Token.empty()) return ParseConstantOrName();
  switch (TokenType) {
    case opPlus: return ParseUnary();
    case opMinus: return platform::os::VarNeg(ParseUnary());
    case opNot: return platform::os::VarNot(ParseUnary());
    case opOpen: {
      Variant value = ParseLogical();
      if (TokenType != opClose) Fail(") отсутствует"_cp);
      NextToken();  // an operand text right after ")" is dropped
      return value;
    }
    default: Fail("Синтаксическая ошибка."_cp);
  }
}

Variant TEvaluation::ParseConstantOrName() {
  if (IsQuote(Token.front())) return Variant::String(Token.substr(1, Token.size() - 2));
  if (Token.front() == '[') {
    if (const int dots = DateDots(Token); dots != 0) return DateConstant(Token, dots);
  }
  if (IsNumberText(Token)) return NumberConstant(Token);
  return ParseIdentifier(Token);
}

Variant TEvaluation::ParseIdentifier(std::string name) {
  if (TokenType == opOpen) return CallFunction(name);
  if (name.front() == '[') {
    Variant value = Variant::Null();
    GetVariable(name, value);
    return value;
  }
  const TPublishedTable& published = Published();
  if (const TPublishedProperty* property = published.FindProperty(name)) return property->Get(*this);
  if (const TPublishedFunction* function = published.FindFunction(name)) return function->Invoke(*this, {});
  Fail(std::string("Неизвестная переменная "_cp) + name);
}

Variant TEvaluation::CallFunction(const std::string& name) {
  const std::string functionName = platform::os::AnsiLowerCase(name) == "if" ? std::string("iif") : name;
  const std::vector<std::string> texts = SplitArguments();
  std::vector<Variant> args;
  args.reserve(texts.size());
  std::unique_ptr<TEvaluation> child;
  for (const std::string& text : texts) {
    if (platform::os::Trim(text).empty()) {
      args.push_back(Variant::Null());
      continue;
    }
    if (!child) {
      child = NewArgumentEvaluator();
      if (!child) throw std::logic_error("TEvaluation: no argument evaluator");
      child->StrictBoolean = false;
      child->depthBase_ = depth_;
    }
    std::string error;
    Variant value = child->Evaluation(text, error);
    if (child->nestingFailed_) throw ENestingTooDeep();
    if (child->failed_) Fail(error);
    args.push_back(std::move(value));
  }
  const TPublishedFunction* function = Published().FindFunction(functionName);
  if (function == nullptr) Fail(std::string("Неизвестная функция "_cp) + functionName);
  Variant result = function->Invoke(*this, args);
  NextToken();
  return result;
}

std::vector<std::string> TEvaluation::SplitArguments() {
  std::vector<std::string> args;
  size_t depth = 1;
  size_t cut = Position - 1;
  bool quoted = false;
  for (size_t i = cut; i < Text.size(); ++i) {
    const char c = Text[i];
    if (quoted) {
      quoted = !IsQuote(c);
    } else if (IsQuote(c)) {
      quoted = true;
    } else if (c == '(') {
      ++depth;
    } else if (c == ',' && depth == 1) {
      args.push_back(Text.substr(cut, i - cut));
      cut = i + 1;
    } else if (c == ')' && --depth == 0) {
      args.push_back(Text.substr(cut, i - cut));
      Position = i + 2;
      return args;
    }
  }
  throw EEvaluationError(std::string(") не найдена"_cp));
}

}  // namespace common
