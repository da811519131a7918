#!/usr/bin/env bash
# Fails when a tracked C++ file differs from what the project's .clang-format makes of it.
# With --fix, formats those files in place instead.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files --cached --others --exclude-standard '*.cpp' '*.h')
if [[ "${1:-}" == "--fix" ]]; then
  clang-format -i "${files[@]}"
  exit 0
fi
bad=()
for f in "${files[@]}"; do
  # Compared whole, since a dry run does not report includes out of order.
  clang-format "$f" | cmp -s - "$f" || bad+=("$f")
done
if ((${#bad[@]})); then
  printf 'check-format: not formatted: %s\n' "${bad[@]}"
  echo "check-format: run scripts/check-format.sh --fix"
  exit 1
fi
echo "check-format: ${#files[@]} files formatted"
