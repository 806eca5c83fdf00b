#include "runtime/floatmode.h"

#include <cfenv>
#include <cfloat>
#include <cmath>

#include "runtime/errors.h"

namespace dw {

void EstablishFloatErrorMode() {
#if defined(__x86_64__) || defined(__i386__)
  // Precision control 11 (64-bit significand), rounding to nearest, every
  // exception masked: faults are detected by the checks below, not by traps.
  unsigned short control = 0x037F;
  __asm__ volatile("fldcw %0" : : "m"(control));
#endif
  std::fesetround(FE_TONEAREST);
  std::feclearexcept(FE_ALL_EXCEPT);
}

long double Divide(long double a, long double b) {
  if (std::isnan(a) || std::isnan(b)) throw EInvalidOp();
  if (b == 0.0L) {
    if (a == 0.0L) throw EInvalidOp();
    throw EZeroDivide();
  }
  if (std::isinf(a) && std::isinf(b)) throw EInvalidOp();
  return Checked(a / b);
}

long double Checked(long double x) {
  if (std::isnan(x)) throw EInvalidOp();
  if (std::isinf(x)) throw EOverflow();
  return x;
}

double StoreF64(long double x) {
  Checked(x);
  double stored = static_cast<double>(x);
  if (std::isinf(stored)) throw EOverflow();
  return stored;
}

float StoreF32(long double x) {
  Checked(x);
  float stored = static_cast<float>(x);
  if (std::isinf(stored)) throw EOverflow();
  return stored;
}

}  // namespace dw
