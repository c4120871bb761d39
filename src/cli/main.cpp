#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"

int main(int argc, char** argv) {
  // A closed pipe (`| head -c 1`) or a file-size limit makes the writes fail
  // instead of killing the program, so the checked writes say so and the
  // exit code is 2.
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
  std::vector<std::string> args(argv + 1, argv + argc);
  int code = kelvora::RunCli(args, std::cout, std::cerr);
  // What is still buffered must reach the output too: a full disk or a
  // closed pipe found only now still fails the run.
  const bool saidSo = !std::cout.good();  // RunCli has told the user already
  std::cout.flush();
  const bool written = std::cout.good() && std::fflush(stdout) == 0 && !std::ferror(stdout);
  const bool closed = std::fclose(stdout) == 0;
  if (!written || !closed) {
    if (!saidSo) std::cerr << "結果を標準出力に書き込めませんでした。\n";
    code = 2;
  }
  return code;
}
