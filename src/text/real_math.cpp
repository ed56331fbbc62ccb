#include "text/real_math.h"

#include <cmath>

#include "text/request_error.h"

// Every check here is explicit: the floating-point environment's flags and rounding mode are
// shared with whatever else runs in the process, so nothing below reads or relies on them.

namespace tavelor {

namespace {

// 2^63 exactly: the first real that no longer fits a signed 64-bit integer.
constexpr double kTwoPow63 = 9223372036854775808.0;

}  // namespace

// A double converts to long double exactly, so both take the one rounding below.
int64_t RoundReal(double x) { return RoundExtended(x); }

int64_t RoundExtended(long double x) {
  if (!std::isfinite(x)) {
    throw RequestError(kFpInvalid);
  }
  // floor is exact, and so is x - floor(x), so the tie test is exact and independent of the
  // current rounding mode.
  long double r = std::floor(x);
  const long double fraction = x - r;
  if (fraction > 0.5L || (fraction == 0.5L && std::fmod(r, 2.0L) != 0.0L)) {
    r += 1.0L;
  }
  // Every integer below 2^63 that a long double (or a double) holds fits the 64-bit range.
  if (r < -static_cast<long double>(kTwoPow63) || r >= static_cast<long double>(kTwoPow63)) {
    throw RequestError(kFpInvalid);
  }
  return static_cast<int64_t>(r);
}

double RealDiv(double a, double b) {
  if (b == 0.0) {
    if (a == 0.0 || std::isnan(a)) {
      throw RequestError(kFpInvalid);
    }
    throw RequestError(kFpDivideByZero);
  }
  if (std::isinf(a) && std::isinf(b)) {
    throw RequestError(kFpInvalid);
  }
  const double q = a / b;
  // A huge dividend over a tiny divisor overflows just like a product does.
  if (std::isinf(q) && std::isfinite(a) && std::isfinite(b)) {
    throw RequestError(kFpOverflow);
  }
  return q;
}

double RealMul(double a, double b) {
  // Zero times infinity has no meaningful value; report it instead of passing a NaN on.
  if ((std::isinf(a) && b == 0.0) || (a == 0.0 && std::isinf(b))) {
    throw RequestError(kFpInvalid);
  }
  const double p = a * b;
  if (std::isinf(p) && std::isfinite(a) && std::isfinite(b)) {
    throw RequestError(kFpOverflow);
  }
  return p;
}

}  // namespace tavelor
