#!/usr/bin/env bash
# Sets up the machine, then builds and runs every test twice: a plain build,
# and a build with AddressSanitizer and UndefinedBehaviorSanitizer; then the
# threaded tests once more under ThreadSanitizer.
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

# ThreadSanitizer, for the tests that run threads against each other (ctest
# label "threads"). Only their executables are built; a test executable that
# gets the label must be listed here as well.
tsan_targets="comms reader_tests engine_e2e_tests sim_events_tests engine_events_e2e_tests
  realtime_events_e2e_tests termsim_tcp_tests tcplink_tests attendance_threads_tests usblink_tests
  batch_threads_tests"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
echo "== build build-tsan (threaded tests)"
cmake -S "$root" -B build-tsan -DTERMKIT_SANITIZE=thread -DTERMKIT_BUILD_BENCH=OFF >/dev/null
# shellcheck disable=SC2086
cmake --build build-tsan -j"$jobs" --target $tsan_targets
echo "== test build-tsan"
ctest --test-dir build-tsan -L threads --output-on-failure -j"$jobs" --timeout 600 || status=1

exit $status
