#!/bin/sh
# Builds the desktop program and starts it. Installs only the Debian packages
# that are missing and builds incrementally, so a second start takes seconds and
# needs no network. A first start uses a copy of the sample data (examples/Data)
# so there is something to look at.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/install-packages.sh" --missing-only
if [ ! -f "$here/build/build.ninja" ]; then
  cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$here/build" --target kelvora
if [ ! -d "$here/build/src/app/Data" ]; then
  cp -r "$here/examples/Data" "$here/build/src/app/Data"
fi
exec "$here/build/src/app/kelvora" "$@"
