#!/usr/bin/env bash
# Builds the libFuzzer targets (the "fuzz" preset: clang, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each on its corpus in tests/fuzz/corpus/<target>/.
#   scripts/fuzz.sh --ci        about 6 seconds per target; the corpus is not changed
#   scripts/fuzz.sh [SECONDS]   SECONDS per target (default 600); the inputs that add
#                               coverage are merged back into the corpus, minimised
# A finding stops the script with the fuzzer's report; the input is kept in
# build-fuzz/fuzz-artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=600
ci=0
case "${1:-}" in
  --ci) ci=1 seconds=6 ;;
  "") ;;
  *[!0-9]*) echo "usage: $0 [--ci | SECONDS]" >&2; exit 2 ;;
  *) seconds=$1 ;;
esac

targets=()
for source in tests/fuzz/fuzz_*.cpp; do
  targets+=("$(basename "$source" .cpp)")
done

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target "${targets[@]}"

artifacts=build-fuzz/fuzz-artifacts
mkdir -p "$artifacts"
for target in "${targets[@]}"; do
  corpus=tests/fuzz/corpus/$target
  mkdir -p "$corpus"
  # New inputs go to a scratch directory first, so that only a merge touches the corpus.
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
  echo "== $target: $seconds s"
  "build-fuzz/bin/$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$artifacts/$target-" "$scratch" "$corpus"
  if [ "$ci" = 0 ]; then
    "build-fuzz/bin/$target" -merge=1 -artifact_prefix="$artifacts/$target-" "$corpus" "$scratch"
  fi
  rm -rf "$scratch"
  trap - EXIT
done
