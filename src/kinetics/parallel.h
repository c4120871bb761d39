// Running two pieces of work at once when the machine has a core to spare.
#pragma once

#include <functional>

namespace kelvora {

// Runs `a` and `b` and returns when both are done: `b` on the calling thread,
// `a` on a helper thread when this thread may use more than one processor.
// When the helper has not started `a` by the time `b` is done (it did not get
// a core), the calling thread runs `a` itself. Neither side watches for the
// other longer than a few tens of microseconds: then the helper sleeps until
// the next job and the caller until the helper has finished `a`.
// The helper thread is started once per calling thread and kept.
void RunBoth(const std::function<void()>& a, const std::function<void()>& b);

// Processors this thread may run on (its affinity mask).
int UsableProcessors();

}  // namespace kelvora
