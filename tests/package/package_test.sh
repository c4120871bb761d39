#!/bin/sh
# package_test.sh BUILD SOURCE VERSION
#
# Stages the install of the build folder BUILD (what CPack puts into the
# Debian package) into a temporary folder, without building anything, and
# checks it: the file list, the desktop entry (desktop-file-validate), the
# AppStream metainfo (appstreamcli validate --no-net), the manual pages
# (man -l), --version and --help of both programs against the CMake project's
# version and the manual pages, the icons, and the dependencies that
# dpkg-shlibdeps finds for the package.
set -u
build=$1
src=$2
version=$3
export LC_ALL=C.UTF-8

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
root=$tmp/root
failures=0

ok() { echo "ok: $*"; }
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
check() {  # check DESCRIPTION COMMAND...: passes when the command succeeds
  what=$1
  shift
  if "$@" >"$tmp/out" 2>&1; then ok "$what"; else
    fail "$what"
    sed 's/^/    /' "$tmp/out"
  fi
}

if ! DESTDIR=$root cmake --install "$build" --prefix /usr --strip >"$tmp/install.log" 2>&1; then
  cat "$tmp/install.log"
  echo "FAIL: cmake --install of $build (is the build folder built?)"
  echo "0 passed, 1 failed"
  exit 1
fi
ok "staged the install of $build"

# --- the file list -----------------------------------------------------------
{
  cat <<'EOF'
/usr/bin/kelvora
/usr/bin/kelvora-cli
/usr/share/applications/org.kelvora.Kelvora.desktop
/usr/share/doc/kelvora/changelog.gz
/usr/share/doc/kelvora/copyright
/usr/share/icons/hicolor/256x256/apps/kelvora.png
/usr/share/icons/hicolor/48x48/apps/kelvora.png
/usr/share/icons/hicolor/scalable/apps/kelvora.svg
/usr/share/man/man1/kelvora-cli.1.gz
/usr/share/man/man1/kelvora.1.gz
/usr/share/metainfo/org.kelvora.Kelvora.metainfo.xml
EOF
  (cd "$src/resources/help" && find . -type f | sed 's|^\.|/usr/share/kelvora/help|')
  (cd "$src/examples/Data" && find . -type f | sed 's|^\.|/usr/share/kelvora/examples/Data|')
} | sort >"$tmp/expected"
(cd "$root" && find . ! -type d | sed 's|^\.||' | sort) >"$tmp/files"
check "the package holds exactly the expected files" diff -u "$tmp/expected" "$tmp/files"
check "the sample data are examples/Data" diff -r "$src/examples/Data" "$root/usr/share/kelvora/examples/Data"
check "the help pages are resources/help" diff -r "$src/resources/help" "$root/usr/share/kelvora/help"
check "the scalable icon is resources/icons/kelvora.svg" \
  cmp "$src/resources/icons/kelvora.svg" "$root/usr/share/icons/hicolor/scalable/apps/kelvora.svg"
for f in usr/bin/kelvora usr/bin/kelvora-cli; do
  check "$f is executable and stripped" \
    sh -c "test -x '$root/$f' && ! readelf -S '$root/$f' | grep -q '\.debug_info\|\.symtab'"
done

# --- the icons ---------------------------------------------------------------
png_size() {  # width and height from the PNG header
  od -An -tu1 -j16 -N8 "$1" | awk '{print $3*256+$4 "x" $7*256+$8}'
}
for size in 48 256; do
  png=$root/usr/share/icons/hicolor/${size}x${size}/apps/kelvora.png
  check "the ${size}x${size} icon is a PNG of that size" \
    test "$(od -An -c -j1 -N3 "$png" | tr -d ' ')|$(png_size "$png")" = "PNG|${size}x${size}"
done

# --- the desktop entry -------------------------------------------------------
desktop=$root/usr/share/applications/org.kelvora.Kelvora.desktop
if desktop-file-validate "$desktop" >"$tmp/dfv" 2>&1 && ! grep -q 'error:\|warning:' "$tmp/dfv"; then
  ok "desktop-file-validate"
  sed 's/^/    /' "$tmp/dfv"
else
  fail "desktop-file-validate"
  sed 's/^/    /' "$tmp/dfv"
fi
# One main category (Science) with additional ones, so that menus list the
# program once; the window's class and a single main window.
for line in 'Type=Application' 'Name=Kelvora' 'Name[ja]=ケルボラ１' 'Exec=kelvora' 'Icon=kelvora' \
  'Categories=Science;Geoscience;Biology;Qt;' 'Terminal=false' 'StartupNotify=true' \
  'StartupWMClass=kelvora' 'X-GNOME-SingleWindow=true'; do
  check "the desktop entry has $line" grep -qxF "$line" "$desktop"
done
for key in 'Comment' 'Comment\[ja\]'; do
  check "the desktop entry has $key" grep -q "^$key=." "$desktop"
done

# --- the AppStream metainfo --------------------------------------------------
metainfo=$root/usr/share/metainfo/org.kelvora.Kelvora.metainfo.xml
check "appstreamcli validate --no-net" appstreamcli validate --no-net "$metainfo"
check "the metainfo has a Japanese and an English summary" \
  sh -c "grep -q '<summary>.' '$metainfo' && grep -q '<summary xml:lang=\"ja\">.' '$metainfo'"
check "the metainfo describes a screenshot" grep -q '<caption>.' "$metainfo"
check "the metainfo launches the desktop entry" \
  grep -q '<launchable type="desktop-id">org.kelvora.Kelvora.desktop</launchable>' "$metainfo"
check "the metainfo's newest release is version $version" \
  sh -c "grep -o '<release version=\"[^\"]*\"' '$metainfo' | head -1 | grep -qx '<release version=\"$version\"'"

# --- the manual pages --------------------------------------------------------
for page in kelvora kelvora-cli; do
  file=$root/usr/share/man/man1/$page.1.gz
  if MANWIDTH=80 man --warnings -E UTF-8 -l "$file" >"$tmp/$page.man" 2>"$tmp/$page.err" &&
    ! [ -s "$tmp/$page.err" ] && grep -q "^NAME" "$tmp/$page.man" &&
    grep -Eq "^ *$page +- " "$tmp/$page.man" && grep -q "kelvora $version" "$tmp/$page.man" &&
    grep -q "^EXIT STATUS" "$tmp/$page.man" &&
    tail -1 "$tmp/$page.man" | grep -Eq "[0-9]{4}-[0-9]{2}-[0-9]{2}"; then
    ok "man -l renders $page(1) without warnings, with the version $version, a date and EXIT STATUS"
  else
    fail "man -l $page(1)"
    cat "$tmp/$page.err" "$tmp/$page.man" | head -20 | sed 's/^/    /'
  fi
  # The options the manual page describes.
  sed -n '/^OPTIONS/,/^[A-Z]/p' "$tmp/$page.man" | grep -o -- '--[a-z][a-z-]*' | sort -u \
    >"$tmp/$page.man-options"
done

# --- --version and --help of the installed programs ------------------------
# Neither needs a display.
nodisplay() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@"; }
check "kelvora --version prints the project's version without a display" \
  test "$(nodisplay "$root/usr/bin/kelvora" --version 2>&1)" = "kelvora $version"
check "kelvora-cli --version prints the project's version" \
  test "$("$root/usr/bin/kelvora-cli" --version 2>&1)" = "kelvora-cli $version"
check "kelvora-cli -v prints the version as --version does" \
  test "$("$root/usr/bin/kelvora-cli" -v 2>&1)" = "kelvora-cli $version"
check "kelvora-cli help fit prints the usage of fit" \
  sh -c "test \"\$('$root/usr/bin/kelvora-cli' help fit)\" = \"\$('$root/usr/bin/kelvora-cli' fit --help)\""
# An unknown option is named before any window, with exit 2 (not Qt's abort
# for the missing display).
nodisplay "$root/usr/bin/kelvora" --bogus >"$tmp/bogus" 2>&1
status=$?
check "kelvora --bogus without a display names the option and exits 2" \
  sh -c "test $status -eq 2 && grep -q -- 'bogus' '$tmp/bogus'"

# Without a display the program says so and ends with exit 1.
nodisplay "$root/usr/bin/kelvora" >"$tmp/nodisplay" 2>&1
status=$?
check "kelvora without a display says so and exits 1" \
  sh -c "test $status -eq 1 && grep -q 'DISPLAY' '$tmp/nodisplay'"

nodisplay "$root/usr/bin/kelvora" --help >"$tmp/kelvora.help" 2>&1
grep -o -- '--[a-z][a-z-]*' "$tmp/kelvora.help" | sort -u >"$tmp/kelvora.help-options"
check "kelvora --help lists the options of kelvora(1)" \
  diff -u "$tmp/kelvora.man-options" "$tmp/kelvora.help-options"
check "kelvora --help names the short options -h and -v" \
  sh -c "grep -q -- '-h, --help' '$tmp/kelvora.help' && grep -q -- '-v, --version' '$tmp/kelvora.help'"

"$root/usr/bin/kelvora-cli" --help >"$tmp/kelvora-cli.help" 2>&1
for cmd in fit fit-field estimate dump report export import-temperatures; do
  check "kelvora-cli --help names the command $cmd" grep -q "^  $cmd " "$tmp/kelvora-cli.help"
  "$root/usr/bin/kelvora-cli" $cmd --help >>"$tmp/kelvora-cli.help" 2>&1
done
grep -o -- '--[a-z][a-z-]*' "$tmp/kelvora-cli.help" | sort -u >"$tmp/kelvora-cli.help-options"
check "kelvora-cli and its commands' --help list the options of kelvora-cli(1)" \
  diff -u "$tmp/kelvora-cli.man-options" "$tmp/kelvora-cli.help-options"

# --- the dependencies --------------------------------------------------------
# As CPack does it: dpkg-shlibdeps over the package's programs.
mkdir -p "$tmp/shlibs/debian"
printf 'Source: kelvora\n\nPackage: kelvora\nArchitecture: any\n' >"$tmp/shlibs/debian/control"
if (cd "$tmp/shlibs" && dpkg-shlibdeps -O "$root/usr/bin/kelvora" "$root/usr/bin/kelvora-cli") \
  >"$tmp/deps" 2>"$tmp/deps.err"; then
  deps=$(sed -n 's/^shlibs:Depends=//p' "$tmp/deps")
  missing=""
  for lib in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6charts6 \
    libqt6printsupport6 libqt6svg6 zlib1g; do
    echo "$deps" | grep -q "\(^\|, \)$lib\( \|,\|$\)" || missing="$missing $lib"
  done
  if [ -z "$missing" ]; then ok "dpkg-shlibdeps: $deps"; else fail "dpkg-shlibdeps lacks$missing: $deps"; fi
else
  fail "dpkg-shlibdeps"
  sed 's/^/    /' "$tmp/deps.err"
fi
config=$build/CPackConfig.cmake
check "CPack makes kelvora_${version}_amd64.deb with dpkg-shlibdeps' dependencies" \
  sh -c "grep -qx 'set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS \"ON\")' '$config' &&
         grep -qx 'set(CPACK_DEBIAN_FILE_NAME \"DEB-DEFAULT\")' '$config' &&
         grep -qx 'set(CPACK_PACKAGE_NAME \"kelvora\")' '$config' &&
         grep -qx 'set(CPACK_PACKAGE_VERSION \"$version\")' '$config' &&
         grep -qx 'set(CPACK_PACKAGING_INSTALL_PREFIX \"/usr\")' '$config'"

if [ "$failures" -eq 0 ]; then
  echo "Package contents: all checks passed."
  exit 0
fi
echo "Package contents: $failures checks failed."
exit 1
