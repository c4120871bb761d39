#include "cli/json.h"

#include <cmath>
#include <cstdio>

#include "store/number_text.h"

namespace kelvora {

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (char ch : text) {
    unsigned char c = static_cast<unsigned char>(ch);
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
