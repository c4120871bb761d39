// What the benchmarks share: a quiet fit host, reading a reference table and
// wall-clock seconds.
#pragma once

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>

#include "kinetics/fit_host.h"

namespace kelvora::bench {

// No progress texts; a failed model gives up.
class QuietHost : public FitHost {
 public:
  void ShowProgress(const std::string&, const std::string&, const std::string&) override {}
  FailedFitAnswer ModelFailed(FitSession&, int16_t) override { return FailedFitAnswer::Cancel; }
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

inline double Seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

}  // namespace kelvora::bench
