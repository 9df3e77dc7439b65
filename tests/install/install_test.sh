#!/usr/bin/env bash
# Installs the build into a temporary prefix, then builds a small host
# program against the installed SDK twice (find_package and pkg-config) and
# runs both against the installed simulator.
set -euo pipefail
build="$1"
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
sim_pid=""
cleanup() {
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "install test: $*" >&2; exit 1; }

prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null

# What the tree holds.
for f in include/termkit/devapi.h include/termkit/devwire.h include/termkit/devoru.h \
         bin/termctl bin/termsim bin/lineagent share/man/man1/termctl.1 share/man/man1/termsim.1 \
         share/termkit/data/example.data share/termkit/profiles/tft.profile \
         lib/pkgconfig/termkit.pc lib/cmake/TermKit/TermKitConfig.cmake \
         lib/cmake/TermKit/TermKitConfigVersion.cmake lib/libdevapi.so.0 lib/libdevwire.so.0 \
         lib/termkit/libcomms.so lib/termkit/libtcplink.so; do
  [ -e "$prefix/$f" ] || fail "$f was not installed"
done
[ ! -e "$prefix/lib/libcomms.so" ] || fail "plug-ins belong in lib/termkit"

version="$(sed -n 's/^project(TermKit VERSION \([0-9.]*\).*/\1/p' "$here/../../CMakeLists.txt")"
[ "$("$prefix/bin/termctl" --version)" = "termctl $version" ] || fail "termctl --version"
[ "$("$prefix/bin/termsim" --version)" = "termsim $version" ] || fail "termsim --version"

"$prefix/bin/termsim" --profile ver660 --data "$prefix/share/termkit/data/example.data" \
  --udp 127.0.0.1:0 --no-search >"$work/sim.out" 2>&1 &
sim_pid=$!
port=""
for _ in $(seq 100); do
  port="$(sed -n 's/^termsim: listening on udp 127.0.0.1:\([0-9]*\)$/\1/p' "$work/sim.out")"
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || fail "the installed termsim did not start: $(cat "$work/sim.out")"
expected="users 4 punches 6"

# 1. CMake's find_package.
mkdir "$work/app"
cp "$here/app.c" "$work/app/"
cp "$here/CMakeLists.txt.in" "$work/app/CMakeLists.txt"
cmake -S "$work/app" -B "$work/app/build" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/app/build" >/dev/null
got="$("$work/app/build/app" 127.0.0.1 "$port")"
[ "$got" = "$expected" ] || fail "find_package build printed '$got', not '$expected'"

# 2. pkg-config.
export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
[ "$(pkg-config --modversion termkit)" = "$version" ] || fail "pkg-config --modversion"
# shellcheck disable=SC2046
cc -o "$work/app2" "$here/app.c" $(pkg-config --cflags --libs termkit) \
  -Wl,-rpath,"$(pkg-config --variable=libdir termkit)"
got="$("$work/app2" 127.0.0.1 "$port")"
[ "$got" = "$expected" ] || fail "pkg-config build printed '$got', not '$expected'"
echo "install test: ok ($prefix, port $port)"
