#!/usr/bin/env bash
# Installs the build into a temporary prefix (with a blank in its path) and checks that the
# terminal is installed like a desktop application: the program, the libraries it finds through
# its own run path, the help page, the menu entry and the icon; then starts the installed
# console once with nothing pointing back at the build tree.
#   check_install.sh CMAKE BUILD_DIR
set -euo pipefail
cmake=${1:?usage: check_install.sh CMAKE BUILD_DIR}
build=${2:?usage: check_install.sh CMAKE BUILD_DIR}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix="$work/pre fix"

fail() {
  echo "check_install: $1"
  exit 1
}

"$cmake" --install "$build" --prefix "$prefix" > "$work/install.log" 2>&1 ||
  { cat "$work/install.log"; fail "cmake --install failed"; }

for file in bin/ostrel lib/libtessan.so.0 lib/libostrel_platform.so.0 lib/libquorn.so \
            share/doc/ostrel/Ostrel.html share/icons/hicolor/scalable/apps/ostrel.svg \
            share/applications/ostrel.desktop; do
  [ -e "$prefix/$file" ] || fail "$file was not installed"
done

entry="$prefix/share/applications/ostrel.desktop"
grep -qxF "Exec=\"$prefix/bin/ostrel\" %f" "$entry" || fail "the menu entry does not start $prefix/bin/ostrel"
grep -qxF "Icon=ostrel" "$entry" || fail "the menu entry names no icon"
if command -v desktop-file-validate > /dev/null; then
  desktop-file-validate "$entry" || fail "desktop-file-validate rejects the menu entry"
fi

runpath=$(readelf -d "$prefix/bin/ostrel" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')
[ "$runpath" = '$ORIGIN/../lib' ] || fail "the program's run path is '$runpath', not \$ORIGIN/../lib"
env -u LD_LIBRARY_PATH ldd "$prefix/bin/ostrel" > "$work/ldd.txt"
grep -q 'not found' "$work/ldd.txt" && { cat "$work/ldd.txt"; fail "a library is not found"; }
grep -F 'libtessan.so.0' "$work/ldd.txt" | grep -qF "$prefix/bin/../lib/" ||
  { cat "$work/ldd.txt"; fail "libtessan.so.0 is not the installed one"; }

# The installed console, started once from elsewhere, without the build's environment.
mkdir -p "$work/home"
status=0
(cd "$work" && env -u LD_LIBRARY_PATH -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
  OSTREL_HOME="$work/home" "$prefix/bin/ostrel" --console --wait 0 \
  < /dev/null > "$work/out.txt" 2> "$work/err.txt") || status=$?
[ "$status" -eq 0 ] || { cat "$work/out.txt" "$work/err.txt"; fail "the installed console exited with $status"; }
grep -q '^Ostrel v[0-9]' "$work/out.txt" || { cat "$work/out.txt"; fail "no version line"; }
echo "check_install: installed into a temporary prefix, and the installed console started"
