#include "kinetics/parallel.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace kelvora {
namespace {

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
      done_ = false;
    }
    wake_.notify_one();
    b();
    std::unique_lock<std::mutex> lock(mutex_);
    finished_.wait(lock, [this] { return done_; });
  }

 private:
  void Loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return quit_ || job_ != nullptr; });
      if (quit_) return;
      const std::function<void()>* job = job_;
      lock.unlock();
      (*job)();
      lock.lock();
      job_ = nullptr;
      done_ = true;
      finished_.notify_one();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_, finished_;
  const std::function<void()>* job_ = nullptr;
  bool done_ = true;
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
