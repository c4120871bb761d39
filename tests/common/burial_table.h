// A one-year field burial for tests and benchmarks: daily soil temperatures
// (central Japan, 5 cm deep) and twelve monthly samples of a soil or a coated
// fertilizer made from known curves with a small scatter.
#pragma once

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "kinetics/curves.h"

namespace kelvora::testing {

inline std::string BurialTable(bool fertilizer) {
  std::string t = "年/月/日\t地温(℃)\t無機化量\n";
  double sum = 0, tk = 0;
  for (int d = 1; d <= 365; ++d) {
    char temp[16];
    std::snprintf(temp, sizeof temp, "%.1f", 15 + 10 * std::sin((d - 100) * 2 * M_PI / 365));
    double f = ArrheniusFactor(16000, std::atof(temp), 25.0f);
    sum += f;
    tk += f * NormalCdf((sum - 30) / 5);
    std::string obs;
    if (d % 30 == 15) {
      double v = fertilizer ? 95 * (1 - std::exp(-0.03 * tk)) : 8 * (1 - std::exp(-0.01 * sum)) + 1;
      char ob[16];
      std::snprintf(ob, sizeof ob, "%.2f", v + 0.03 * std::cos(d));
      obs = ob;
    }
    t += "d" + std::to_string(d) + "\t" + temp + "\t" + obs + "\n";
  }
  return t;
}

}  // namespace kelvora::testing
