// A child process that keeps one processor busy, for timing the program beside
// other work as users run it on busy office machines.
#pragma once

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>

namespace kelvora::bench {

// Burns one processor until it is destroyed, and at most `seconds` (it also
// dies with the benchmark).
class BusyNeighbour {
 public:
  explicit BusyNeighbour(int seconds) {
    pid_ = fork();
    if (pid_ == 0) {
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      timespec start{}, now{};
      clock_gettime(CLOCK_MONOTONIC, &start);
      volatile uint64_t spin = 0;
      do {
        for (int i = 0; i < 1000000; ++i) spin = spin + 1;
        clock_gettime(CLOCK_MONOTONIC, &now);
      } while (now.tv_sec - start.tv_sec < seconds);
      _exit(0);
    }
  }
  ~BusyNeighbour() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  BusyNeighbour(const BusyNeighbour&) = delete;
  BusyNeighbour& operator=(const BusyNeighbour&) = delete;

 private:
  pid_t pid_ = -1;
};

}  // namespace kelvora::bench
