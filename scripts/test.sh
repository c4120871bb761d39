#!/bin/sh
# Builds everything from an empty build folder and runs every test; then
# builds the Qt-free core again with AddressSanitizer and
# UndefinedBehaviorSanitizer and runs its tests once more; then with
# ThreadSanitizer for the tests of the fit's threads.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/install-packages.sh"
rm -rf "$here/build-test" "$here/build-asan" "$here/build-tsan"
cmake -S "$here" -B "$here/build-test" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$here/build-test"
(cd "$here/build-test" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2)
cmake -S "$here" -B "$here/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKELVORA_CORE_ONLY=ON -DKELVORA_SANITIZE=ON
cmake --build "$here/build-asan"
(cd "$here/build-asan" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure -j2)
# The fit's threads: the worker with its own copy of the session and the
# hand-back, the failed-fit question, "中止", and the helper thread of the
# Gaussian model on one and on two processors. Any report fails the run.
cmake -S "$here" -B "$here/build-tsan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKELVORA_CORE_ONLY=ON -DKELVORA_TSAN=ON
cmake --build "$here/build-tsan" --target kelvora_core_tests
TSAN_OPTIONS="halt_on_error=1 exitcode=66" "$here/build-tsan/tests/kelvora_core_tests" \
  --gtest_filter='FitWorker.*:Parallel.*'
echo "All tests passed."
