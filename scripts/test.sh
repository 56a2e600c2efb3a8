#!/usr/bin/env bash
# Builds Pellam and runs every test: first the CI build (warnings are errors), then the
# sanitizer build, then a short bounded run of each fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

cmake --preset ci >/dev/null
cmake --build --preset ci -j "$jobs"
ctest --preset ci

cmake --preset sanitize >/dev/null
cmake --build --preset sanitize -j "$jobs"
ctest --preset sanitize

if [ -x scripts/fuzz.sh ]; then
  bash scripts/fuzz.sh --ci
fi
