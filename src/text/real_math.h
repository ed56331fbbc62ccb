// Real arithmetic with the three faults reported, not masked: a request that meets one ends
// with a RequestError instead of sending a value computed from garbage.
#pragma once

#include <cstdint>

namespace tavelor {

inline constexpr const char* kFpDivideByZero = "Floating point division by zero";
inline constexpr const char* kFpOverflow = "Floating point overflow";
inline constexpr const char* kFpInvalid = "Invalid floating point operation";

// Nearest integer, ties to even (2.5 -> 2, 3.5 -> 4). NaN, infinities and values outside the
// 64-bit range raise the invalid-operation error.
int64_t RoundReal(double x);

// The same rounding of a value formed in extended precision: panel conversions multiply and
// divide in long double and store to a 64-bit real only where their rule says so, so that a
// huge finite input ends as the invalid-operation error rather than as an overflow.
int64_t RoundExtended(long double x);

// a / b. A zero divisor raises division by zero (0/0 and NaN/0 raise invalid).
double RealDiv(double a, double b);

// a * b, raising overflow when finite operands give an infinite product.
double RealMul(double a, double b);

}  // namespace tavelor
