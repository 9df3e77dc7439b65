#!/usr/bin/env bash
# build.sh DIR [cmake options...]: configures (once) and builds into DIR.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$1"
shift
jobs="${TERMKIT_JOBS:-$(nproc)}"
cmake -S "$root" -B "$dir" "$@" >/dev/null
cmake --build "$dir" -j"$jobs"
