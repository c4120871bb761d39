// Running two pieces of work at once on the machine's two cores.
#pragma once

#include <functional>

namespace kelvora {

// Runs `a` on a helper thread and `b` on the calling thread and returns when
// both are done. The helper thread is started once and kept.
void RunBoth(const std::function<void()>& a, const std::function<void()>& b);

}  // namespace kelvora
