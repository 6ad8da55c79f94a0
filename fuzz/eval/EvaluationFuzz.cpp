// Any text given to Evaluation: nothing escapes, nothing reads outside the
// text, no undefined arithmetic, and the outcome keeps its contract.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/Evaluations.h"

namespace {

using platform::os::VarType;
using platform::os::Variant;

// Kept small: nesting and argument re-reading make the work per byte grow
// with the nesting depth, which is bounded but not cheap.
constexpr size_t kMaxInput = 4096;

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kMaxInput) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  common::TEvaluation evaluation;
  std::string error;
  const Variant value = evaluation.Evaluation(text, error);
  // A failure answers Null; a success never a NaN or an infinity.
  Check(error.empty() || value.IsNull());
  if (value.Type() == VarType::Double || value.Type() == VarType::Date) Check(std::isfinite(value.DoubleValue()));
  // The evaluator keeps no state from one expression to the next.
  std::string again;
  Check(evaluation.Evaluation(text, again) == value && again == error);
  return 0;
}
