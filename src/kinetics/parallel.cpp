#include "kinetics/parallel.h"

#include <sched.h>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace kelvora {
namespace {

// A helper thread that takes one job at a time. A job is posted, claimed by
// whichever side gets to it first (the helper, or the caller once its own
// half is done), and finished. The helper sleeps on a condition variable
// between jobs, so a busy machine or a single processor costs no spinning:
// there the caller simply claims the job back and runs both halves itself.
class Helper {
 public:
  Helper() : thread_([this] { Loop(); }) {}
  ~Helper() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      quit_ = true;
    }
    wake_.notify_one();
    thread_.join();
  }

  void Run(const std::function<void()>& a, const std::function<void()>& b) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      job_ = &a;
      state_ = State::Posted;
    }
    wake_.notify_one();
    b();
    std::unique_lock<std::mutex> lock(mutex_);
    if (state_ == State::Posted) {
      // The helper has not started: take the job back.
      state_ = State::Idle;
      job_ = nullptr;
      lock.unlock();
      a();
      return;
    }
    finished_.wait(lock, [this] { return state_ == State::Done; });
    state_ = State::Idle;
    job_ = nullptr;
  }

 private:
  enum class State { Idle, Posted, Claimed, Done };

  void Loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return quit_ || state_ == State::Posted; });
      if (quit_) return;
      state_ = State::Claimed;
      const std::function<void()>* job = job_;
      lock.unlock();
      (*job)();
      lock.lock();
      state_ = State::Done;
      lock.unlock();
      finished_.notify_one();
      lock.lock();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_, finished_;
  const std::function<void()>* job_ = nullptr;  // guarded by mutex_
  State state_ = State::Idle;                   // guarded by mutex_
  bool quit_ = false;                           // guarded by mutex_
  std::thread thread_;
};

}  // namespace

int UsableProcessors() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) return CPU_COUNT(&set);
  unsigned n = std::thread::hardware_concurrency();
  return n == 0 ? 1 : static_cast<int>(n);
}

void RunBoth(const std::function<void()>& a, const std::function<void()>& b) {
  // With one processor a second thread can only take turns with this one.
  if (UsableProcessors() < 2) {
    b();
    a();
    return;
  }
  // One helper per calling thread keeps concurrent fits (tests) apart.
  thread_local Helper helper;
  helper.Run(a, b);
}

}  // namespace kelvora
