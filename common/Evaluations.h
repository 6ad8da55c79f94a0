#pragma once
// TEvaluation: evaluates one-line expressions of the tag description file
// (arithmetic, comparisons, logical operators, string and date constants,
// named functions, [bracketed] variables). A recursive-descent parser that
// computes while it parses. One evaluator serves any number of
// expressions one after the other; it is not reentrant and belongs to one
// thread.

#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "common/EvaluationFunctions.h"
#include "platform/os/Variant.h"

namespace common {

// A failure raised by the evaluator itself; the message carries the
// "TEvaluation:: " prefix except for ") не найдена".
class EEvaluationError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TEvaluation {
 public:
  // Operands nested deeper than this (parentheses, prefix operators and
  // function arguments together) fail as a syntax error.
  static constexpr int kMaxNesting = 256;

  // The evaluator of expressions: Boolean short-cut of "&" and "|" on.
  TEvaluation();
  virtual ~TEvaluation();
  TEvaluation(const TEvaluation&) = delete;
  TEvaluation& operator=(const TEvaluation&) = delete;

  // Evaluates expression. Answers its value and an empty errorMessage, or
  // Null and the failure's message; nothing is thrown. An expression of
  // blanks only answers Null with no message.
  Variant Evaluation(std::string_view expression, std::string& errorMessage);

 protected:
  explicit TEvaluation(bool strictBoolean);

  // The value of a bracketed name; name is the whole token, brackets
  // included. The base leaves value Null. May throw an exception derived
  // from std::exception; the evaluation then fails with its message.
  virtual void GetVariable(const std::string& name, Variant& value);

  // A fresh evaluator of the same class for one function's arguments.
  // A derived class overrides it to create its own kind; the caller turns
  // the Boolean short-cut off in it.
  virtual std::unique_ptr<TEvaluation> NewArgumentEvaluator() const;

  // The functions and properties of this class, chained to its ancestor's
  // (a derived class's table names EvaluationFunctions() or its parent's
  // table as ancestor).
  virtual const TPublishedTable& Published() const;

 private:
  // Raised when the nesting limit is passed; travels out through the
  // argument evaluators without gaining prefixes.
  class ENestingTooDeep;

  [[noreturn]] static void Fail(std::string_view text);
  void NextToken();
  Variant ParseLogical();
  Variant ParseComparison();
  Variant ParseSum();
  Variant ParseProduct();
  Variant ParsePower();
  Variant ParseUnary();
  Variant ParseConstantOrName();
  Variant ParseIdentifier(std::string name);
  Variant CallFunction(const std::string& name);
  std::vector<std::string> SplitArguments();

  bool StrictBoolean;
  std::size_t Position = 1;  // 1-based scan position in Text
  int TokenType = 0;         // operator that ended Token (1..20), 0 at the end
  std::string Token;         // operand text before that operator
  std::string Text;          // the expression without blanks
  int depthBase_ = 0;        // nesting of the call whose argument this is
  int depth_ = 0;
  bool failed_ = false;          // the last Evaluation failed
  bool nestingFailed_ = false;   // ... by passing the nesting limit
};

}  // namespace common
