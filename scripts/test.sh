#!/usr/bin/env bash
# Installs what is missing, checks the layering and the formatting, builds everything with
# warnings as errors and runs every test. CI runs exactly this.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
python3 scripts/check_layers.py
scripts/check-format.sh
cmake --preset default -DVANTEL_WERROR=ON
cmake --build --preset default
ctest --preset default "$@"
