#include "screens/twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace kelvora {

double LogicalDpi() {
  if (QScreen* s = QGuiApplication::primaryScreen()) {
    double dpi = s->logicalDotsPerInchY();
    if (dpi > 0) return dpi;
  }
  return 96.0;
}

int TwipsToPixels(int twips) {
  return static_cast<int>(std::lround(twips * LogicalDpi() / 1440.0));
}

}  // namespace kelvora
