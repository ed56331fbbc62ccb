#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "text/real_math.h"
#include "text/request_error.h"

namespace tavelor {
namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
const double kMax = std::numeric_limits<double>::max();
constexpr double kTwoPow63 = 9223372036854775808.0;

std::string FaultOf(const std::function<void()>& op) {
  try {
    op();
  } catch (const RequestError& e) {
    return e.what();
  }
  return "(no fault)";
}

TEST(RoundRealTest, NearestWithTiesToEven) {
  struct Case { double x; int64_t want; };
  const std::vector<Case> cases = {
      {0.5, 0},    {1.5, 2},    {2.5, 2},    {3.5, 4},    {-0.5, 0},   {-2.5, -2},
      {-3.5, -4},  {2.4999999999999996, 2},  {2.5000000000000004, 3},   {-1.6, -2},
      {0.49999999999999994, 0},  // adding 0.5 and flooring would give 1
      {4503599627370497.0, 4503599627370497},  // odd integer at 2^52 + 1 stays put
      {-kTwoPow63, std::numeric_limits<int64_t>::min()},
      {9223372036854774784.0, 9223372036854774784},  // largest double below 2^63
  };
  for (const Case& c : cases) {
    EXPECT_NO_THROW(EXPECT_EQ(RoundReal(c.x), c.want) << c.x);
  }
}

TEST(RoundRealTest, InvalidOutsideTheRange) {
  for (double x : {kNaN, kInf, -kInf, kTwoPow63, -kTwoPow63 * 1.0000000000000002, 1e19, -1e300}) {
    EXPECT_EQ(FaultOf([x] { RoundReal(x); }), kFpInvalid) << x;
  }
}

TEST(RoundExtendedTest, TiesToEvenAndHugeValuesAreInvalidNotOverflow) {
  EXPECT_EQ(RoundExtended(12.5L), 12);
  EXPECT_EQ(RoundExtended(37.5L), 38);
  EXPECT_EQ(RoundExtended(-0.5L), 0);
  EXPECT_EQ(RoundExtended(-2.5L), -2);
  // A 64-bit real scaled in extended precision stays finite, so the fault is the rounding's.
  const long double scaled = static_cast<long double>(1e308) * 100;
  EXPECT_EQ(FaultOf([scaled] { RoundExtended(scaled); }), kFpInvalid);
  for (long double x : {static_cast<long double>(kNaN), static_cast<long double>(kInf),
                        static_cast<long double>(kTwoPow63)}) {
    EXPECT_EQ(FaultOf([x] { RoundExtended(x); }), kFpInvalid);
  }
  EXPECT_EQ(RoundExtended(9223372036854775807.0L), std::numeric_limits<int64_t>::max());
}

TEST(RealDivTest, Faults) {
  struct Case { double a; double b; const char* want; };
  const std::vector<Case> cases = {
      {1.0, 0.0, kFpDivideByZero},  {-3.0, -0.0, kFpDivideByZero},
      {kInf, 0.0, kFpDivideByZero}, {0.0, 0.0, kFpInvalid},
      {-0.0, 0.0, kFpInvalid},      {kNaN, 0.0, kFpInvalid},
      {kInf, -kInf, kFpInvalid},    {kMax, 0.5, kFpOverflow},
      {1e300, 1e-300, kFpOverflow},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FaultOf([&c] { RealDiv(c.a, c.b); }), c.want) << c.a << " / " << c.b;
  }
}

TEST(RealDivTest, OrdinaryQuotients) {
  EXPECT_EQ(RealDiv(7.0, 2.0), 3.5);
  EXPECT_EQ(RealDiv(1.0, kInf), 0.0);
  EXPECT_EQ(RealDiv(kInf, 2.0), kInf);
  EXPECT_EQ(RealDiv(1e-300, 1e300), 0.0);  // underflow is not reported
}

TEST(RealMulTest, Faults) {
  struct Case { double a; double b; const char* want; };
  const std::vector<Case> cases = {
      {kMax, 2.0, kFpOverflow}, {-1e200, 1e200, kFpOverflow},
      {0.0, kInf, kFpInvalid},  {-kInf, 0.0, kFpInvalid},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FaultOf([&c] { RealMul(c.a, c.b); }), c.want) << c.a << " * " << c.b;
  }
}

TEST(RealMulTest, OrdinaryProducts) {
  EXPECT_EQ(RealMul(1.5, -4.0), -6.0);
  EXPECT_EQ(RealMul(kInf, 2.0), kInf);  // already infinite: not a new overflow
  EXPECT_EQ(RealMul(1e-200, 1e-200), 0.0);
  EXPECT_TRUE(std::isnan(RealMul(kNaN, 1.0)));
}

}  // namespace
}  // namespace tavelor
