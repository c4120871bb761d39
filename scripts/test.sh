#!/bin/sh
# Builds everything from an empty build folder and runs every test; then
# builds the Qt-free core again with AddressSanitizer and
# UndefinedBehaviorSanitizer and runs its tests once more.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/install-packages.sh"
rm -rf "$here/build-test" "$here/build-asan"
cmake -S "$here" -B "$here/build-test" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$here/build-test"
(cd "$here/build-test" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2)
cmake -S "$here" -B "$here/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKELVORA_CORE_ONLY=ON -DKELVORA_SANITIZE=ON
cmake --build "$here/build-asan"
(cd "$here/build-asan" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure -j2)
echo "All tests passed."
