#include "cli/json.h"

#include <cmath>
#include <cstdio>

#include "cli/input_checks.h"
#include "store/number_text.h"

namespace kelvora {

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size(); ++i) {
    const char ch = text[i];
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c >= 0x80) {
      // The output is always UTF-8: a byte that starts no UTF-8 character
      // becomes U+FFFD.
      const size_t n = Utf8Length(text, i);
      if (n == 0) {
        out += "\xEF\xBF\xBD";
      } else {
        out.append(text, i, n);
        i += n - 1;
      }
      continue;
    }
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out.push_back(ch);
        }
    }
  }
  out += "\"";
  return out;
}

std::string JsonSingle(float v) { return std::isfinite(v) ? ShortestSingle(v) : "null"; }
std::string JsonDouble(double v) { return std::isfinite(v) ? ShortestDouble(v) : "null"; }
std::string JsonBool(bool v) { return v ? "true" : "false"; }

}  // namespace kelvora
