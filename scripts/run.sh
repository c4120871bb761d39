#!/bin/sh
# Builds the desktop program and starts it. A first start uses a copy of the
# sample data (examples/Data) so there is something to look at.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/install-packages.sh"
cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$here/build"
if [ ! -d "$here/build/src/app/Data" ]; then
  cp -r "$here/examples/Data" "$here/build/src/app/Data"
fi
exec "$here/build/src/app/kelvora" "$@"
