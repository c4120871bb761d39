#include "store/number_text.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstring>

namespace kelvora {
namespace {

// Full-width forms that a Japanese input method produces for number texts.
struct WideForm {
  const char* utf8;
  char ascii;
};
constexpr WideForm kWideForms[] = {
    {"\xEF\xBC\x90", '0'}, {"\xEF\xBC\x91", '1'}, {"\xEF\xBC\x92", '2'}, {"\xEF\xBC\x93", '3'},
    {"\xEF\xBC\x94", '4'}, {"\xEF\xBC\x95", '5'}, {"\xEF\xBC\x96", '6'}, {"\xEF\xBC\x97", '7'},
    {"\xEF\xBC\x98", '8'}, {"\xEF\xBC\x99", '9'}, {"\xEF\xBC\x8B", '+'},  // ＋
    {"\xEF\xBC\x8D", '-'},                                                // －
    {"\xE2\x88\x92", '-'},                                                // − (minus sign)
    {"\xEF\xBC\x8E", '.'},                                                // ．
    {"\xEF\xBC\xA5", 'E'},                                                // Ｅ
    {"\xEF\xBD\x85", 'e'},                                                // ｅ
    {"\xE3\x80\x80", ' '},                                                // ideographic space
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// to_chars into a buffer that grows until the whole text fits: a number is
// never cut short, nor padded with whatever a buffer held before.
template <typename T, typename... Format>
std::string CharsText(T value, Format... format) {
  std::string buf(64, '\0');
  for (;;) {
    const std::to_chars_result r =
        std::to_chars(buf.data(), buf.data() + buf.size(), value, format...);
    if (r.ec == std::errc()) {
      buf.resize(static_cast<size_t>(r.ptr - buf.data()));
      return buf;
    }
    buf.resize(buf.size() * 4);
  }
}

// Checks the ASCII grammar; `text` is already normalized and trimmed.
bool MatchesGrammar(std::string_view s) {
  size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  size_t digits = 0;
  bool point = false;
  for (; i < s.size(); ++i) {
    char c = s[i];
    if (c >= '0' && c <= '9') {
      ++digits;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (digits == 0) return false;
  if (i == s.size()) return true;
  if (s[i] != 'E' && s[i] != 'e') return false;
  ++i;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  size_t expDigits = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) ++expDigits;
  return expDigits > 0 && i == s.size();
}

// The normalized text without a leading '+', which from_chars does not take.
std::string_view ForFromChars(const std::string& s) {
  std::string_view v(s);
  if (!v.empty() && v.front() == '+') v.remove_prefix(1);
  return v;
}

}  // namespace

std::string NormalizeNumberText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    bool replaced = false;
    if (static_cast<unsigned char>(text[i]) >= 0x80) {
      for (const WideForm& w : kWideForms) {
        size_t n = std::strlen(w.utf8);
        if (text.compare(i, n, w.utf8) == 0) {
          out.push_back(w.ascii);
          i += n;
          replaced = true;
          break;
        }
      }
    }
    if (!replaced) out.push_back(text[i++]);
  }
  size_t b = 0, e = out.size();
  while (b < e && IsBlank(out[b])) ++b;
  while (e > b && IsBlank(out[e - 1])) --e;
  return out.substr(b, e - b);
}

namespace {

// Out-of-range results of from_chars: true when the text is a tiny value that
// rounds to zero, false when it is too large.
bool IsUnderflow(const std::string& s) {
  size_t ePos = s.find_first_of("Ee");
  std::string mantissa = s.substr(0, ePos);
  if (mantissa.find_first_of("123456789") == std::string::npos) return true;
  if (ePos != std::string::npos) {
    long double ld = 0;
    std::string_view v(s);
    if (!v.empty() && v.front() == '+') v.remove_prefix(1);
    auto r = std::from_chars(v.data(), v.data() + v.size(), ld);
    if (r.ec == std::errc()) return std::fabs(ld) < 1.0L;
    return s.find('-', ePos) != std::string::npos;
  }
  size_t point = mantissa.find('.');
  std::string whole = mantissa.substr(0, point);
  return whole.find_first_of("123456789") == std::string::npos;
}

}  // namespace

std::optional<float> ParseSingle(std::string_view text) {
  std::string s = NormalizeNumberText(text);
  if (!MatchesGrammar(s)) return std::nullopt;
  std::string_view v = ForFromChars(s);
  bool negative = !v.empty() && v.front() == '-';
  float f = 0;
  auto r = std::from_chars(v.data(), v.data() + v.size(), f);
  if (r.ec == std::errc::result_out_of_range) {
    if (IsUnderflow(s)) return negative ? -0.0f : 0.0f;
    return std::nullopt;  // beyond the single range: not a number here
  }
  if (r.ec != std::errc() || r.ptr != v.data() + v.size()) return std::nullopt;
  return f;
}

std::optional<double> ParseDouble(std::string_view text) {
  // Every number a user types is kept as a single, so a text is a number only
  // when its value fits the single range; its value is then read as a double.
  if (!ParseSingle(text)) return std::nullopt;
  std::string s = NormalizeNumberText(text);
  std::string_view v = ForFromChars(s);
  bool negative = !v.empty() && v.front() == '-';
  double d = 0;
  auto r = std::from_chars(v.data(), v.data() + v.size(), d);
  if (r.ec == std::errc::result_out_of_range) return negative ? -0.0 : 0.0;
  if (r.ec != std::errc()) return std::nullopt;
  return d;
}

bool IsNumber(std::string_view text) { return ParseSingle(text).has_value(); }

std::string SingleText(float value) {
  if (!std::isfinite(value)) return std::string();
  if (value == 0.0f) return "0";
  // Like C's %.7G, but never with the user's decimal comma: to_chars always
  // writes the C locale's form.
  std::string s = CharsText(static_cast<double>(value), std::chars_format::general, 7);
  size_t ePos = s.find('e');
  if (ePos != std::string::npos) s[ePos] = 'E';
  std::string mantissa = s.substr(0, ePos);
  std::string exponent = ePos == std::string::npos ? std::string() : s.substr(ePos);
  if (mantissa.find('.') != std::string::npos) {
    while (!mantissa.empty() && mantissa.back() == '0') mantissa.pop_back();
    if (!mantissa.empty() && mantissa.back() == '.') mantissa.pop_back();
  }
  return mantissa + exponent;
}

std::string FormatFixed(double value, int decimals) {
  if (!std::isfinite(value)) return std::string();
  double a = std::fabs(value);
  // to_chars rounds the exact binary value to nearest, ties to even. A tie at
  // `decimals` places means a * 2 * 10^decimals is an odd integer, i.e. the
  // value's lowest set bit is 2^-(decimals+1); then round away from zero by
  // printing the next larger double, which lies just above the tie.
  if (a != 0.0) {
    int exp = 0;
    double m = std::frexp(a, &exp);  // a = m * 2^exp, 0.5 <= m < 1
    long long mant = static_cast<long long>(std::ldexp(m, 53));
    int e = exp - 53;
    while ((mant & 1) == 0) {
      mant >>= 1;
      ++e;
    }
    if (e == -(decimals + 1)) a = std::nextafter(a, INFINITY);
  }
  std::string s = CharsText(a, std::chars_format::fixed, decimals);
  bool allZero = s.find_first_of("123456789") == std::string::npos;
  if (value < 0 && !allZero) s.insert(s.begin(), '-');
  return s;
}

std::string FixedText(double value, int decimals) {
  return CharsText(value, std::chars_format::fixed, decimals);
}

std::string FormatSignificant(double value, int digits) {
  if (!std::isfinite(value)) return std::string();
  return CharsText(value, std::chars_format::general, digits);
}

std::string ShortestSingle(float value) { return CharsText(value); }

std::string ShortestSinglePlain(float value) {
  const float a = std::fabs(value);
  if (a != 0.0f && (a < 1e-6f || a >= 1e12f)) return ShortestSingle(value);
  return CharsText(value, std::chars_format::fixed);
}

std::string ShortestDouble(double value) { return CharsText(value); }

}  // namespace kelvora
