// The core's texts are UTF-8 std::strings; the screens show QStrings.
#pragma once

#include <QString>
#include <string>

namespace kelvora {

inline QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace kelvora
