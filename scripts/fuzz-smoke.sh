#!/usr/bin/env bash
# Builds the libFuzzer targets (clang) and runs each for SECONDS (default 60) from its kept
# regression inputs, if any. Usage: scripts/fuzz-smoke.sh [SECONDS] [-runs=N]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
scripts/install-deps.sh
cmake --preset fuzz
cmake --build --preset fuzz
status=0
for fuzzer in build/fuzz/bin/*_fuzz; do
  name=$(basename "$fuzzer")
  corpus=$(mktemp -d)
  seeds=()
  src=$(git ls-files "*/${name}.cpp" | head -n1)
  if [[ -n "$src" && -d "$(dirname "$src")/fuzz_regressions/$name" ]]; then
    seeds+=("$(dirname "$src")/fuzz_regressions/$name")
  fi
  echo "fuzz-smoke: $name for ${seconds}s"
  if ! "$fuzzer" -max_total_time="$seconds" "$@" "$corpus" "${seeds[@]}" >"$corpus.log" 2>&1; then
    echo "fuzz-smoke: $name FAILED"; tail -n 30 "$corpus.log"; status=1
  else
    grep -E '^(#[0-9]+\s+DONE|Done [0-9]+ runs)' "$corpus.log" | tail -n1 || true
  fi
  rm -rf "$corpus" "$corpus.log"
done
exit $status
