#!/usr/bin/env bash
# Builds every unit test with AddressSanitizer and UndefinedBehaviorSanitizer and runs them.
# Too long for every CI run on two cores; run it before landing changes to memory handling.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset asan
cmake --build --preset asan
ctest --preset asan "$@"
