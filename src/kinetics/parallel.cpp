#include "kinetics/parallel.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace kelvora {
namespace {

// A helper thread that takes one job at a time. Jobs come in quick
// succession during a search (every tenth of a millisecond or so), and waking
// a sleeping thread costs about as much as the job itself on a virtual
// machine, so both sides spin for a short while before they sleep.
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
      job_.store(&a, std::memory_order_release);
      done_.store(false, std::memory_order_relaxed);
    }
    wake_.notify_one();
    b();
    if (!SpinUntil([this] { return done_.load(std::memory_order_acquire); })) {
      std::unique_lock<std::mutex> lock(mutex_);
      finished_.wait(lock, [this] { return done_.load(std::memory_order_acquire); });
    }
  }

 private:
  template <typename F>
  static bool SpinUntil(F ready) {
    auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(300);
    for (int i = 0;; ++i) {
      if (ready()) return true;
      if ((i & 63) == 63 && std::chrono::steady_clock::now() > until) return false;
    }
  }

  void Loop() {
    for (;;) {
      if (!SpinUntil([this] { return job_.load(std::memory_order_acquire) != nullptr; })) {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, [this] { return quit_ || job_.load() != nullptr; });
        if (quit_) return;
      }
      const std::function<void()>* job = job_.load(std::memory_order_acquire);
      (*job)();
      {
        std::lock_guard<std::mutex> lock(mutex_);
        job_.store(nullptr, std::memory_order_relaxed);
        done_.store(true, std::memory_order_release);
      }
      finished_.notify_one();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_, finished_;
  std::atomic<const std::function<void()>*> job_{nullptr};
  std::atomic<bool> done_{true};
  bool quit_ = false;
  std::thread thread_;
};

}  // namespace

void RunBoth(const std::function<void()>& a, const std::function<void()>& b) {
  // One helper per calling thread keeps concurrent fits (tests) apart.
  thread_local Helper helper;
  helper.Run(a, b);
}

}  // namespace kelvora
