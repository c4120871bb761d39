// Work the screens leave running for a closed window ends before the program
// does: the wait at its end returns only once every such thread has finished.
#include "screens/background_work.h"

#include <gtest/gtest.h>

#include <QThread>
#include <atomic>
#include <chrono>
#include <thread>

namespace kelvora {
namespace {

TEST(BackgroundWork, TheProgramsEndWaitsForEveryThreadStillRunning) {
  std::atomic<bool> ended{false};
  QThread* slow = QThread::create([&ended] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ended = true;
  });
  QThread* quick = QThread::create([] {});
  StartBackgroundWork(slow);
  StartBackgroundWork(quick);
  WaitForBackgroundWork();
  EXPECT_TRUE(ended);
  EXPECT_TRUE(slow->isFinished());
  EXPECT_TRUE(quick->isFinished());
  delete slow;
  delete quick;
  WaitForBackgroundWork();  // nothing left to wait for, nothing touched
}

}  // namespace
}  // namespace kelvora
