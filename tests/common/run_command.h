// Runs a shell command and gives what it printed, for tests that check our
// files with another program (python3 and its readers).
#pragma once

#include <cstdio>
#include <string>

namespace kelvora::testing {

// Standard output of `cmd` (add 2>&1 for its errors too).
inline std::string RunCommand(const std::string& cmd) {
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return "popen failed";
  std::string out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  pclose(p);
  return out;
}

}  // namespace kelvora::testing
