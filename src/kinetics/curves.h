// Temperature-adjusted time, the model curves and the normal distribution
// used by the Gaussian lag correction.
#pragma once

#include <cstdint>

namespace kelvora {

constexpr double kGasConstant = 1.987;          // cal/mol/K
constexpr int kKelvinOffset = 273;              // T + 273, Ts + 273
constexpr double kDensityConstant = 6.2831852;  // NormalDensity divides by its root
constexpr int kSimpsonIntervals = 50;

// Days at the standard temperature Ts equivalent to one day at T:
// exp(E (T - Ts) / (R (T + 273) (Ts + 273))), evaluated step by step in double
// precision with Ts + 273 formed in single precision. May return inf or NaN
// (for T = -273, Ts = -273 or an overflowing exponent); see the checked form.
double ArrheniusFactor(double E, double T, float Ts);

// The same; false when the evaluation meets a division by zero or an overflow
// (an arithmetic error of the fit).
bool ArrheniusFactorChecked(double E, double T, float Ts, double& factor);

double NormalDensity(double u);
// Area under the density from 0 to |z|: composite Simpson rule, 50 intervals.
double NormalArea(double z);
double NormalCdf(double z);
// The same; false when z is not finite or z x z overflows.
bool NormalCdfChecked(double z, double& cdf);

// Rounds a double to single precision as the hardware does, without relying
// on an out-of-range conversion: values beyond the single range become
// infinite, NaN stays NaN.
float RoundToSingle(double x);

// Rounds to the nearest integer, halves to the even one (2.5 -> 2, 3.5 -> 4),
// as the Gaussian model counts its daily terms.
double RoundHalfEven(double v);

// The Gaussian model counts its daily terms up to the day rounded so, in a
// 16-bit count: a day that rounds to a count outside -32768 … 32767 cannot be
// evaluated by it.
bool IsCountableDay(double day);

}  // namespace kelvora
