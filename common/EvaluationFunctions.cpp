#include "common/EvaluationFunctions.h"

#include <algorithm>
#include <cmath>

#include "platform/os/Convert.h"
#include "platform/os/Text.h"

namespace common {

using platform::os::EInvalidOp;
using platform::os::EOverflow;
using platform::os::EVariantError;
using platform::os::EZeroDivide;
using platform::os::VarType;

namespace {

using Args = std::span<const Variant>;

Variant ConvertArgument(const Variant& arg, TParamKind kind) {
  switch (kind) {
    case TParamKind::Double: return Variant::Double(arg.ToDouble());
    case TParamKind::Word: return Variant::Int(VarType::Word, arg.ToWord());
    case TParamKind::Integer: return Variant::Integer(arg.ToInteger());
    case TParamKind::Boolean: return Variant::Boolean(arg.ToBoolean());
    case TParamKind::Value: return arg;
  }
  return arg;
}

// A floating result of a function may be neither NaN nor infinite; an
// infinity from a pole (the logarithm of 0) is a division by zero.
enum class Pole { Overflow, ZeroDivide };
double MathResult(double r, Pole pole = Pole::Overflow) {
  if (std::isnan(r)) throw EInvalidOp();
  if (std::isinf(r)) {
    if (pole == Pole::ZeroDivide) throw EZeroDivide();
    throw EOverflow();
  }
  return r;
}

double D(Args a, size_t i) { return a[i].DoubleValue(); }
uint32_t W(Args a, size_t i) { return static_cast<uint32_t>(a[i].IntValue()); }

// A value parameter taken as a 32-bit integer (its bits, unsigned).
uint32_t Bits32(const Variant& v) { return static_cast<uint32_t>(v.ToInteger()); }

using DoubleFn = double (*)(double);

void AddDouble(TPublishedTable& t, const char* name, DoubleFn fn, Pole pole = Pole::Overflow) {
  t.AddFunction(name, {TParamKind::Double},
                [fn, pole](TEvaluation&, Args a) { return Variant::Double(MathResult(fn(D(a, 0)), pole)); });
}

void AddMath(TPublishedTable& t) {
  t.AddFunction("PI", {}, [](TEvaluation&, Args) { return Variant::Double(3.141592653589793); });
  AddDouble(t, "Exp", [](double d) { return std::exp(d); });
  AddDouble(t, "Ln", [](double d) { return std::log(d); }, Pole::ZeroDivide);
  AddDouble(t, "Abs", [](double d) { return std::fabs(d); });
  AddDouble(t, "Int", [](double d) { return std::trunc(d); });
  AddDouble(t, "Cos", [](double d) { return std::cos(d); });
  AddDouble(t, "Sin", [](double d) { return std::sin(d); });
  AddDouble(t, "Tan", [](double d) { return std::tan(d); });
  AddDouble(t, "Cosh", [](double d) { return std::cosh(d); });
  AddDouble(t, "Sinh", [](double d) { return std::sinh(d); });
  AddDouble(t, "Tanh", [](double d) { return std::tanh(d); });
  AddDouble(t, "Arccos", [](double d) { return std::acos(d); });
  AddDouble(t, "Arcsin", [](double d) { return std::asin(d); });
  AddDouble(t, "Arctan", [](double d) { return std::atan(d); });
  AddDouble(t, "Log2", [](double d) { return std::log2(d); }, Pole::ZeroDivide);
  AddDouble(t, "log10", [](double d) { return std::log10(d); }, Pole::ZeroDivide);
  t.AddFunction("Round", {TParamKind::Double, TParamKind::Integer}, [](TEvaluation&, Args a) {
    return Variant::Double(MathResult(RoundDecimals(D(a, 0), static_cast<int32_t>(a[1].IntValue()))));
  });
}

void AddLogic(TPublishedTable& t) {
  t.AddFunction("True", {}, [](TEvaluation&, Args) { return Variant::Boolean(true); });
  t.AddFunction("False", {}, [](TEvaluation&, Args) { return Variant::Boolean(false); });
  t.AddFunction("Max", {TParamKind::Value, TParamKind::Value},
                [](TEvaluation&, Args a) { return platform::os::VarCompare(a[0], a[1]) > 0 ? a[0] : a[1]; });
  t.AddFunction("Min", {TParamKind::Value, TParamKind::Value},
                [](TEvaluation&, Args a) { return platform::os::VarCompare(a[0], a[1]) < 0 ? a[0] : a[1]; });
  t.AddFunction("iif", {TParamKind::Boolean, TParamKind::Value, TParamKind::Value},
                [](TEvaluation&, Args a) { return a[0].BooleanValue() ? a[1] : a[2]; });
}

// Bit functions on raw register values. A Null value gives Null, like the
// operators do.
void AddBits(TPublishedTable& t) {
  t.AddFunction("ShiftLeft", {TParamKind::Word, TParamKind::Word}, [](TEvaluation&, Args a) {
    return Variant::Int(VarType::Word, (W(a, 0) << (W(a, 1) % 32)) & 0xFFFFu);
  });
  t.AddFunction("ShiftRight", {TParamKind::Word, TParamKind::Word}, [](TEvaluation&, Args a) {
    return Variant::Int(VarType::Word, (W(a, 0) >> (W(a, 1) % 32)) & 0xFFFFu);
  });
  t.AddFunction("Swap16", {TParamKind::Value}, [](TEvaluation&, Args a) {
    if (a[0].IsNull()) return Variant::Null();
    const uint32_t v = Bits32(a[0]);
    const uint32_t r = (v & 0xFFFF0000u) | ((v & 0xFFu) << 8) | ((v >> 8) & 0xFFu);
    return Variant::Integer(static_cast<int32_t>(r));
  });
  t.AddFunction("Swap32", {TParamKind::Value}, [](TEvaluation&, Args a) {
    if (a[0].IsNull()) return Variant::Null();
    const uint32_t v = Bits32(a[0]);
    return Variant::Integer(static_cast<int32_t>((v << 16) | (v >> 16)));
  });
  t.AddFunction("GetByteFromInt32", {TParamKind::Value, TParamKind::Word}, [](TEvaluation&, Args a) {
    const uint32_t n = W(a, 1);
    if (a[0].IsNull() || n > 3) return Variant::Null();
    return Variant::Int(VarType::Byte, (Bits32(a[0]) >> (8 * n)) & 0xFFu);
  });
  t.AddFunction("GetWordFromInt32", {TParamKind::Value, TParamKind::Word}, [](TEvaluation&, Args a) {
    const uint32_t n = W(a, 1);
    if (a[0].IsNull() || n > 1) return Variant::Null();
    return Variant::Int(VarType::Word, (Bits32(a[0]) >> (16 * n)) & 0xFFFFu);
  });
  t.AddFunction("IsBitSet", {TParamKind::Value, TParamKind::Word}, [](TEvaluation&, Args a) {
    if (a[0].IsNull()) return Variant::Null();
    const uint32_t low16 = Bits32(a[0]) & 0xFFFFu;
    return Variant::Int(VarType::Byte, (low16 >> (W(a, 1) % 32)) & 1u);
  });
}

std::string Numbered(const char* text, size_t index, const std::string& name) {
  return std::string(text) + platform::os::IntToStr(static_cast<int64_t>(index)) + " for method " + name;
}

}  // namespace

Variant TPublishedFunction::Invoke(TEvaluation& self, std::span<const Variant> args) const {
  if (args.size() > Params.size()) throw EInvocationError("Too many parameters for method " + Name);
  if (args.size() < Params.size())
    throw EInvocationError("Parameter " + platform::os::IntToStr(static_cast<int64_t>(args.size() + 1)) +
                           " required for method " + Name);
  std::vector<Variant> converted;
  converted.reserve(args.size());
  for (size_t i = 0; i < args.size(); ++i) {
    try {
      converted.push_back(ConvertArgument(args[i], Params[i]));
    } catch (const EVariantError&) {
      throw EInvocationError(Numbered("Type mismatch in parameter ", i + 1, Name));
    }
  }
  return Call(self, converted);
}

void TPublishedTable::AddFunction(std::string name, std::vector<TParamKind> params,
                                  TPublishedFunction::Body body) {
  functions_.push_back({std::move(name), std::move(params), std::move(body)});
}

void TPublishedTable::AddProperty(std::string name, TPublishedProperty::Getter getter) {
  properties_.push_back({std::move(name), std::move(getter)});
}

const TPublishedFunction* TPublishedTable::FindFunction(std::string_view name) const {
  for (const TPublishedTable* t = this; t != nullptr; t = t->ancestor_)
    for (const auto& f : t->functions_)
      if (platform::os::SameText(f.Name, name)) return &f;
  return nullptr;
}

const TPublishedProperty* TPublishedTable::FindProperty(std::string_view name) const {
  for (const TPublishedTable* t = this; t != nullptr; t = t->ancestor_)
    for (const auto& p : t->properties_)
      if (platform::os::SameText(p.Name, name)) return &p;
  return nullptr;
}

const TPublishedTable& EvaluationFunctions() {
  static const TPublishedTable table = [] {
    TPublishedTable t;
    AddMath(t);
    AddLogic(t);
    AddBits(t);
    return t;
  }();
  return table;
}

double RoundDecimals(double d, int32_t n) {
  n = std::clamp(n, -4950, 4950);
  const bool negative = d < 0;
  const double x = std::fabs(d);
  long double f = 1.0L;
  for (int32_t i = 0; i < n; ++i) f *= 10.0L;
  for (int32_t i = 0; i < -n; ++i) f /= 10.0L;
  if (f == 0.0L || std::isinf(f)) return d;
  const double b = static_cast<double>(f * x);
  if (!(b < 9007199254740992.0)) return d;  // 2^53: no fraction left; also NaN
  const double whole = std::trunc(b);
  const long double digit = std::nearbyint((static_cast<long double>(b) - whole) * 10.0L);
  const long double up = digit >= 5.0L ? 1.0L : 0.0L;
  const double r = static_cast<double>((static_cast<long double>(whole) + up) / f);
  return negative ? -r : r;
}

}  // namespace common
