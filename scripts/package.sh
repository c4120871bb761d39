#!/bin/sh
# Builds the Debian package kelvora_<version>_amd64.deb with CPack in a fresh
# build folder (build-package) and leaves it there. Install it with
#   apt-get install ./build-package/kelvora_<version>_amd64.deb
# The compiler and linker get Debian's hardening flags (dpkg-buildflags);
# the package's dependencies come from dpkg-shlibdeps. When lintian is
# installed, the package is checked with it.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/install-packages.sh" --missing-only
out=$here/build-package
rm -rf "$out"
cmake -S "$here" -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKELVORA_BUILD_TESTS=OFF -DKELVORA_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)"
cmake --build "$out"
(cd "$out" && cpack -G DEB)
deb=$(ls "$out"/kelvora_*_*.deb)
# Debian's package checker, when it is installed (apt-get install lintian):
# an error fails the build.
if command -v lintian >/dev/null 2>&1; then
  lintian --fail-on error "$deb"
else
  echo "lintian is not installed: the package was not checked."
fi
echo "$deb"
