// A small JSON writer for the command-line tool's output.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kelvora {

std::string JsonString(std::string_view text);
// Shortest text that reads back to the same single / double; null when the
// value is not finite.
std::string JsonSingle(float v);
std::string JsonDouble(double v);
std::string JsonBool(bool v);

}  // namespace kelvora
