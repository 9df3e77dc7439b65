#!/usr/bin/env bash
# Sets up the machine, then builds and runs every test twice: a plain build,
# and a build with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
./scripts/setup.sh

jobs="${TERMKIT_JOBS:-$(nproc)}"
status=0

run_suite() {
  local dir="$1"
  shift
  echo "== build $dir $*"
  ./scripts/build.sh "$dir" "$@"
  echo "== test $dir"
  ctest --test-dir "$dir" --output-on-failure -j"$jobs" --timeout 600 || status=1
}

run_suite build
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
run_suite build-asan -DTERMKIT_SANITIZE=address -DTERMKIT_BUILD_BENCH=OFF

exit $status
