#include "kinetics/fit_session.h"

namespace kelvora {

void FitSession::RecreateCellTables(int cols, int rows) {
  for (int c = 0; c < 4; ++c) {
    size_t n = (c >= 1 && c <= cols) ? static_cast<size_t>(rows) + 1 : 0;
    adjTime[c].assign(n, std::nullopt);
    calc[c].assign(n, std::nullopt);
    sqResidual[c].assign(n, 0.0);
    adjTime1[c].assign(n, 0.0f);
    adjTime2[c].assign(n, 0.0f);
  }
}

}  // namespace kelvora
