#pragma once
// The process float mode: extended precision (long double, 64-bit
// significand), rounding to nearest with ties to even, and an invalid
// operation, a division by zero or an overflow raising at the operation that
// caused it. The operations below are where such faults can arise in this
// program; each checks its operands and result instead of trapping, so no NaN
// or infinity is ever carried on.
#include <cstdint>

namespace dw {

// Sets the x87 unit to extended precision and round-to-nearest and clears the
// pending flags. Called once at start and after anything that may have
// changed the control word (file dialogs).
void EstablishFloatErrorMode();

// a / b in extended precision. 0/0 (and any NaN operand) raises EInvalidOp, a
// non-zero value over 0 EZeroDivide, a quotient beyond the extended range
// EOverflow.
long double Divide(long double a, long double b);

// A computed extended value checked as the float mode would have stopped it:
// NaN raises EInvalidOp, an infinity EOverflow. Returns x.
long double Checked(long double x);

// Stores an extended value at 64 or 32 bits, rounding to nearest. A value
// whose rounded form is beyond the destination's range (or is already
// infinite) raises EOverflow; NaN raises EInvalidOp. Underflow is silent.
double StoreF64(long double x);
float StoreF32(long double x);

}  // namespace dw
