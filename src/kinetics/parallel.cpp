#include "kinetics/parallel.h"

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace kelvora {
namespace {

// A helper thread that takes one job at a time. A job is posted, claimed by
// whichever side gets to it first (the helper, or the caller once its own
// half is done), and finished. Jobs come every few microseconds while a fit
// runs, so each side first watches for the other for a short, bounded while
// (kSpin) and only then sleeps on a condition variable: an idle machine hands
// jobs over without a system call, while on a busy machine or one without a
// core to spare nobody keeps a processor from others for longer than that,
// and the caller simply claims a job the helper has not started and runs
// both halves itself.
class Helper {
 public:
  Helper() : thread_([this] { Loop(); }) {}
  ~Helper() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      quit_.store(true, std::memory_order_release);
    }
    wake_.notify_all();
    thread_.join();
  }

  void Run(const std::function<void()>& a, const std::function<void()>& b) {
    job_.store(&a, std::memory_order_relaxed);
    state_.store(kPosted, std::memory_order_release);
    WakeIfAsleep(wake_);
    b();
    int expected = kPosted;
    if (state_.compare_exchange_strong(expected, kIdle, std::memory_order_acq_rel)) {
      // The helper has not started: take the job back.
      a();
      return;
    }
    if (!SpinUntil([this] { return state_.load(std::memory_order_acquire) == kDone; })) {
      std::unique_lock<std::mutex> lock(mutex_);
      ++sleepers_;
      finished_.wait(lock, [this] { return state_.load(std::memory_order_acquire) == kDone; });
      --sleepers_;
    }
    state_.store(kIdle, std::memory_order_relaxed);
  }

 private:
  static constexpr int kIdle = 0, kPosted = 1, kClaimed = 2, kDone = 3;
  static constexpr std::chrono::microseconds kSpin{10};

  // Watches `ready` for at most kSpin; true when it became true.
  template <typename Ready>
  static bool SpinUntil(Ready ready) {
    const auto until = std::chrono::steady_clock::now() + kSpin;
    for (;;) {
      for (int i = 0; i < 64; ++i) {
        if (ready()) return true;
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
      }
      if (std::chrono::steady_clock::now() >= until) return ready();
    }
  }

  // Wakes a side that went to sleep on `cv`; the state change it waits for
  // was stored before.
  void WakeIfAsleep(std::condition_variable& cv) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (sleepers_ > 0) cv.notify_all();
  }

  void Loop() {
    ClearWideVectorState();
    for (;;) {
      auto posted = [this] {
        return quit_.load(std::memory_order_acquire) ||
               state_.load(std::memory_order_acquire) == kPosted;
      };
      if (!SpinUntil(posted)) {
        std::unique_lock<std::mutex> lock(mutex_);
        ++sleepers_;
        wake_.wait(lock, posted);
        --sleepers_;
      }
      if (quit_.load(std::memory_order_acquire)) return;
      int expected = kPosted;
      if (!state_.compare_exchange_strong(expected, kClaimed, std::memory_order_acq_rel)) {
        continue;  // the caller took it back
      }
      (*job_.load(std::memory_order_relaxed))();
      state_.store(kDone, std::memory_order_release);
      WakeIfAsleep(finished_);
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_, finished_;
  int sleepers_ = 0;  // guarded by mutex_
  std::atomic<const std::function<void()>*> job_{nullptr};
  std::atomic<int> state_{kIdle};
  std::atomic<bool> quit_{false};
  std::thread thread_;
};

int ProcessorsOf(pid_t who) {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(who, sizeof set, &set) == 0) return CPU_COUNT(&set);
  unsigned n = std::thread::hardware_concurrency();
  return n == 0 ? 1 : static_cast<int>(n);
}

}  // namespace

ProcessorBudget::ProcessorBudget(int processors)
    : processors_(std::max(1, processors)), free_(processors_) {}

bool ProcessorBudget::TryAcquire() {
  // Threads already waiting come first.
  if (waiting_.load() > 0) return false;
  int free = free_.load();
  while (free > 0) {
    if (free_.compare_exchange_weak(free, free - 1)) return true;
  }
  return false;
}

void ProcessorBudget::Acquire() {
  if (TryAcquire()) return;
  std::unique_lock<std::mutex> lock(mutex_);
  const uint64_t ticket = nextTicket_++;
  queue_.push_back(ticket);
  waiting_.fetch_add(1);
  turn_.wait(lock, [&] {
    if (queue_.front() != ticket) return false;
    int free = free_.load();
    while (free > 0) {
      if (free_.compare_exchange_weak(free, free - 1)) return true;
    }
    return false;
  });
  queue_.pop_front();
  waiting_.fetch_sub(1);
  lock.unlock();
  // The next in line may find a turn as well.
  turn_.notify_all();
}

void ProcessorBudget::Release() {
  free_.fetch_add(1);
  // A waiter counted before the turn came back sees it when it checks under
  // the lock; one counted after it sees it at its first check.
  if (waiting_.load() > 0) {
    std::lock_guard<std::mutex> lock(mutex_);
    turn_.notify_all();
  }
}

ProcessorBudget& SharedProcessors() {
  // Never destroyed: threads may still give turns back while the program ends.
  static ProcessorBudget* budget = new ProcessorBudget(ProgramProcessors());
  return *budget;
}

#if defined(__x86_64__) || defined(__i386__)
namespace {
__attribute__((target("avx"))) void ZeroUpper() { _mm256_zeroupper(); }
}  // namespace

void ClearWideVectorState() {
  static const bool avx = __builtin_cpu_supports("avx");
  if (avx) ZeroUpper();
}
#else
void ClearWideVectorState() {}
#endif

int UsableProcessors() { return ProcessorsOf(0); }

int ProgramProcessors() { return ProcessorsOf(::getpid()); }

void RunBoth(const std::function<void()>& a, const std::function<void()>& b) {
  // With one processor a second thread can only take turns with this one;
  // without a free turn the helper would compute beside threads that already
  // use every processor.
  ProcessorBudget& budget = SharedProcessors();
  if (UsableProcessors() < 2 || !budget.TryAcquire()) {
    b();
    a();
    return;
  }
  // One helper per calling thread keeps concurrent fits (tests) apart.
  thread_local Helper helper;
  helper.Run(a, b);
  budget.Release();
}

}  // namespace kelvora
