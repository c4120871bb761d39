#include "kinetics/curves.h"

#include <cfloat>
#include <cmath>
#include <limits>

namespace kelvora {
namespace {

// exp of an argument below this is exactly +0 (it lies under half the
// smallest subnormal double), so the call can be skipped without changing a
// bit of any sum.
constexpr double kExpZeroBelow = -746.0;

const double kInvSqrtDensity = 1.0 / std::sqrt(kDensityConstant);

}  // namespace

double ArrheniusFactor(double E, double T, float Ts) {
  double a = (T - static_cast<double>(Ts)) * E;
  a = a / kGasConstant;
  a = a / (T + kKelvinOffset);
  float tsK = Ts + static_cast<float>(kKelvinOffset);  // formed in single precision
  a = a / static_cast<double>(tsK);
  return std::exp(a);
}

bool ArrheniusFactorChecked(double E, double T, float Ts, double& factor) {
  double tK = T + kKelvinOffset;
  float tsK = Ts + static_cast<float>(kKelvinOffset);
  if (tK == 0.0 || tsK == 0.0f) return false;
  double a = (T - static_cast<double>(Ts)) * E;
  a = a / kGasConstant;
  a = a / tK;
  a = a / static_cast<double>(tsK);
  if (!std::isfinite(a)) return false;
  factor = std::exp(a);
  return std::isfinite(factor);
}

double NormalDensity(double u) {
  double arg = -(u * u) / 2;
  if (arg < kExpZeroBelow) return kInvSqrtDensity * 0.0;
  return kInvSqrtDensity * std::exp(arg);
}

double NormalArea(double z) {
  const double x = std::fabs(z);
  const double a = 0;
  const int n = kSimpsonIntervals / 2;
  const double h = (x - a) / kSimpsonIntervals;
  const double g = NormalDensity(x) + NormalDensity(a);
  double odd = 0;
  for (int i = 1; i <= n; ++i) {
    double d = NormalDensity(a + (2 * i - 1) * h);
    if (d == 0.0) break;  // the points only grow: every later density is +0 too
    odd = odd + d;
  }
  double even = 0;
  for (int j = 1; j <= n - 1; ++j) {
    double d = NormalDensity(a + (2 * j) * h);
    if (d == 0.0) break;
    even = even + d;
  }
  return h * (g + 2 * even + 4 * odd) / 3;
}

double NormalCdf(double z) { return z >= 0 ? 0.5 + NormalArea(z) : 0.5 - NormalArea(z); }

bool NormalCdfChecked(double z, double& cdf) {
  if (!std::isfinite(z) || !std::isfinite(z * z)) return false;
  cdf = NormalCdf(z);
  return std::isfinite(cdf);
}

float RoundToSingle(double x) {
  constexpr double kMid = 340282356779733661637539395458142568448.0;  // 2^128 - 2^103
  if (std::isnan(x)) return std::numeric_limits<float>::quiet_NaN();
  const float sign = x < 0 ? -1.0f : 1.0f;
  if (std::fabs(x) >= kMid) return sign * std::numeric_limits<float>::infinity();
  if (std::fabs(x) > static_cast<double>(FLT_MAX)) return sign * FLT_MAX;  // rounds down to it
  return static_cast<float>(x);
}

double RoundHalfEven(double v) { return std::nearbyint(v); }

bool IsCountableDay(double day) {
  const double D = RoundHalfEven(day);
  return D >= -32768.0 && D <= 32767.0;
}

}  // namespace kelvora
