// Number text rules shared by every grid, text box, data file and the fit.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kelvora {

// Rewrites full-width digits, signs, point, E and the ideographic space (as
// typed with a Japanese input method) as their ASCII equivalents, and trims
// blanks around the text. Other characters are left as they are.
std::string NormalizeNumberText(std::string_view text);

// True when the text is a number: optional blanks around, optional sign,
// digits with at most one decimal point (".5" and "5." count), optional
// exponent (E or e, optional sign, digits). The value must also fit the
// single-precision range, because every number a user types is kept as a
// single. Full-width forms count as their ASCII equivalents.
bool IsNumber(std::string_view text);

// The value of a number text, or nothing when IsNumber is false.
std::optional<double> ParseDouble(std::string_view text);
// The value rounded once to single precision (decimal straight to single).
std::optional<float> ParseSingle(std::string_view text);

// Canonical text of a single: printed like C's %.7G, then trailing zeros of
// the mantissa and a bare trailing point removed ("0.1", "1.5", "1E+07").
std::string SingleText(float value);

// Display patterns "0", "0.00", "0.0000", "0.00000": the value rounded half
// away from zero to `decimals` places; never "-0.00". Non-finite values give
// an empty text.
std::string FormatFixed(double value, int decimals);

// The value to `decimals` places as to_chars rounds it (to nearest, ties to
// even on the exact binary value), whole however long it is.
std::string FixedText(double value, int decimals);

// The value in at most `digits` significant digits, in exponent form when it
// is very large or small ("-2.2e+61"), whatever the locale; empty when not
// finite.
std::string FormatSignificant(double value, int digits);

// Shortest decimal texts that read back to the same value (for JSON output).
std::string ShortestSingle(float value);
std::string ShortestDouble(double value);
// The shortest text that reads back to the same single, in plain decimal
// notation ("0.0001", not "1e-04") unless the value is very large or small.
std::string ShortestSinglePlain(float value);

}  // namespace kelvora
