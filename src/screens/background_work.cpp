#include "screens/background_work.h"

#include <QThread>
#include <algorithm>
#include <vector>

namespace kelvora {

namespace {
// Touched only on the user-interface thread.
std::vector<QThread*>& Running() {
  static std::vector<QThread*> running;
  return running;
}
}  // namespace

void StartBackgroundWork(QThread* thread) {
  Running().push_back(thread);
  // Connected before the thread's own deleteLater, so this runs first.
  QObject::connect(thread, &QThread::finished, thread, [thread] {
    auto& running = Running();
    running.erase(std::remove(running.begin(), running.end(), thread), running.end());
  });
  thread->start(QThread::LowPriority);
}

void WaitForBackgroundWork() {
  for (QThread* t : std::vector<QThread*>(Running())) t->wait();
  Running().clear();
}

}  // namespace kelvora
