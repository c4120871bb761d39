#include "screens/screen_context.h"

#include "store/hensuu.h"

namespace kelvora {

namespace {
constexpr int16_t kCascadeStepTwips = 500;
constexpr int16_t kCascadeWrapTwips = 3000;
}  // namespace

int16_t CascadeForward(int16_t offset) {
  offset = static_cast<int16_t>(offset + kCascadeStepTwips);
  return offset == kCascadeWrapTwips ? int16_t{0} : offset;
}

int16_t CascadeBack(int16_t offset) {
  offset = static_cast<int16_t>(offset - kCascadeStepTwips);
  return offset < 0 ? int16_t{0} : offset;
}

void StepCascadeForward(hensuu& store) {
  store.WindowCascadeOffset = CascadeForward(store.WindowCascadeOffset);
}

void TakeCascadeBack(hensuu& store) {
  store.WindowCascadeOffset = CascadeBack(store.WindowCascadeOffset);
}

}  // namespace kelvora
