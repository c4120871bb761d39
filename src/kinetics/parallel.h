// Running two pieces of work at once when the machine has a core to spare.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

namespace kelvora {

// The processors the program's fits compute on, shared by every fit that runs
// at the same time (the records of a batch, a fit started from a screen, and
// the Gaussian model's helper thread of each): a thread takes a turn before
// it computes and gives it back when done, so that no more threads compute
// at once than there are processors. Waiting threads are served in the order
// they came and sleep meanwhile.
class ProcessorBudget {
 public:
  explicit ProcessorBudget(int processors);
  ProcessorBudget(const ProcessorBudget&) = delete;
  ProcessorBudget& operator=(const ProcessorBudget&) = delete;

  // Waits for a turn (after every thread that came earlier).
  void Acquire();
  // A turn if one is free and nobody waits for one; never waits.
  bool TryAcquire();
  void Release();

  int Processors() const { return processors_; }
  // Turns free and threads waiting at this moment (for the tests).
  int Free() const { return free_.load(); }
  int Waiting() const { return waiting_.load(); }

 private:
  const int processors_;
  std::atomic<int> free_;
  std::atomic<int> waiting_{0};
  std::mutex mutex_;
  std::condition_variable turn_;
  std::deque<uint64_t> queue_;  // tickets of the waiting threads, guarded by mutex_
  uint64_t nextTicket_ = 0;     // guarded by mutex_
};

// The program's budget: as many turns as processors the program may use.
ProcessorBudget& SharedProcessors();

// A turn of the shared budget for as long as it lives.
class ProcessorTurn {
 public:
  ProcessorTurn() { SharedProcessors().Acquire(); }
  ~ProcessorTurn() { SharedProcessors().Release(); }
  ProcessorTurn(const ProcessorTurn&) = delete;
  ProcessorTurn& operator=(const ProcessorTurn&) = delete;
};

// Runs `a` and `b` and returns when both are done: `b` on the calling thread,
// `a` on a helper thread when this thread may use more than one processor.
// When the helper has not started `a` by the time `b` is done (it did not get
// a core), the calling thread runs `a` itself. Neither side watches for the
// other longer than a few tens of microseconds: then the helper sleeps until
// the next job and the caller until the helper has finished `a`.
// The helper thread is started once per calling thread and kept. The helper
// computes only on a turn of the shared budget (SharedProcessors) taken
// without waiting; when none is free the calling thread runs both itself.
void RunBoth(const std::function<void()>& a, const std::function<void()>& b);

// Processors this thread may run on (its affinity mask).
int UsableProcessors();

// Clears the upper halves of the processor's wide vector registers on this
// thread. A thread starts with its creator's register state: after the
// window system's drawing code has used wide vector instructions, a thread
// started from the user-interface thread (or that thread itself) can carry
// them dirty, and on some processors every arithmetic instruction of the fit
// then waits on them: a fit ran ten times slower. Cheap; every fit calls it
// before it starts (RunFit), the Gaussian model's helper when it starts, and
// so do every estimation (EstimateSeries) and the refinement (RefineFit).
void ClearWideVectorState();

// Processors the program may run on (the affinity mask of its main thread,
// as `taskset` sets it for the whole program).
int ProgramProcessors();

}  // namespace kelvora
