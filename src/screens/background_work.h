// Threads the screens start for work that may outlive its window (the fit
// statistics' refinement). The program waits for them once its windows are
// gone, so that none still runs while the program ends and its statics are
// destroyed under it.
#pragma once

class QThread;

namespace kelvora {

// Starts the thread (at low priority) and keeps track of it until it has
// finished. Call on the user-interface thread.
void StartBackgroundWork(QThread* thread);

// Waits for every thread still running; for the end of the program, after
// its event loop.
void WaitForBackgroundWork();

}  // namespace kelvora
