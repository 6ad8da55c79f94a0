#pragma once
// The functions an expression may call, found by name without case, and
// the invocation layer that fits argument values to their parameters.
// An evaluator class publishes its functions and properties in a table
// that chains to its ancestor's, so a derived evaluator adds functions by
// publishing them in its own table (see TEvaluation::Published).

#include <cstdint>
#include <functional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/os/Variant.h"

namespace common {

class TEvaluation;
using platform::os::Variant;

// Parameter kinds; an argument is converted to its parameter's kind before
// the call: Double, Word (16-bit unsigned), Integer (32-bit signed),
// Boolean, or Value (the argument unchanged).
enum class TParamKind : uint8_t { Double, Word, Integer, Boolean, Value };

// Argument problems, worded by the invocation layer:
// "Parameter 2 required for method Max", "Too many parameters for method
// PI", "Type mismatch in parameter 1 for method Ln" (1-based numbers, the
// name as published).
class EInvocationError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TPublishedFunction {
  // Receives the converted arguments, exactly one per parameter.
  using Body = std::function<Variant(TEvaluation&, std::span<const Variant>)>;

  std::string Name;
  std::vector<TParamKind> Params;
  Body Call;

  // Checks the argument count, converts each argument and calls the body.
  // Throws EInvocationError for a wrong count or an argument that does not
  // convert; the body's own failures pass through.
  Variant Invoke(TEvaluation& self, std::span<const Variant> args) const;
};

struct TPublishedProperty {
  using Getter = std::function<Variant(const TEvaluation&)>;

  std::string Name;
  Getter Get;
};

// Functions and properties of one evaluator class, with its ancestor's
// behind them. Built once (before any evaluation) and then read only, so
// any thread may search it.
class TPublishedTable {
 public:
  explicit TPublishedTable(const TPublishedTable* ancestor = nullptr) : ancestor_(ancestor) {}

  void AddFunction(std::string name, std::vector<TParamKind> params, TPublishedFunction::Body body);
  void AddProperty(std::string name, TPublishedProperty::Getter getter);

  // By name without case (CP1251 rules), this class first, then its
  // ancestors; nullptr when none has it.
  const TPublishedFunction* FindFunction(std::string_view name) const;
  const TPublishedProperty* FindProperty(std::string_view name) const;

 private:
  const TPublishedTable* ancestor_;
  std::vector<TPublishedFunction> functions_;
  std::vector<TPublishedProperty> properties_;
};

// The function set of the base evaluator: PI, Exp, True, False, ShiftLeft,
// ShiftRight, Ln, Abs, Int, Cos, Sin, Tan, Cosh, Sinh, Tanh, Arccos,
// Arcsin, Arctan, Log2, log10, Max, Min, Swap16, Swap32, GetByteFromInt32,
// GetWordFromInt32, IsBitSet, Round, iif. No properties.
const TPublishedTable& EvaluationFunctions();

// D rounded to N decimals by its first dropped digit (itself rounded from
// the digits behind it); N is clamped to -4950..4950. D comes back
// unchanged when 10^N is 0 or infinite in extended precision or when
// |D| * 10^N reaches 2^53 (no decimals left to round).
double RoundDecimals(double d, int32_t n);

}  // namespace common
