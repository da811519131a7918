#!/usr/bin/env bash
# Installs what is missing, builds, and runs the headless front end on a sample folder.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default
cmake --build --preset default
echo "run-demo: the headless front end is not built yet" >&2
exit 1
