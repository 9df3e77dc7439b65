#!/usr/bin/env bash
# Sets up the machine, builds TermKit and runs termctl. With no arguments
# termctl talks to its built-in simulator.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
./scripts/setup.sh
./scripts/build.sh build >/dev/null
exec ./build/bin/termctl "$@"
