#!/bin/sh
# Every program and library of a build searches for libraries only where its builder
# put them: each entry of its RUNPATH (or RPATH) starts with $ORIGIN or "/". An empty
# or relative entry is taken from the current directory, so a program started there
# (the service runs as root) would load whatever library a user left in it. setup
# copies these very files into the installed program directory.
# Usage: library_search_path_test.sh <build directory>
set -eu
build=$1
checked=0
bad=0
for file in "$build"/bin/* "$build"/lib/*; do
  [ -f "$file" ] && [ ! -L "$file" ] || continue
  head -c 4 "$file" | grep -q 'ELF' || continue
  checked=$((checked + 1))
  paths=$(readelf -d "$file" | sed -n 's/.*(R\(UN\)\{0,1\}PATH).*\[\(.*\)\]$/\2/p')
  [ -n "$paths" ] || continue
  # Entries one per line; a leading, trailing or doubled ':' is an empty entry.
  for entry in $(printf '%s\n' "$paths" | sed 's/^:/.:/; s/:$/:./; s/::/:.:/g' | tr ':' ' '); do
    case $entry in
      '$ORIGIN'* | /*) ;;
      *) echo "$file: library search path entry \"$entry\" in \"$paths\" (\".\": empty)"; bad=1 ;;
    esac
  done
done
[ "$checked" -gt 0 ] || { echo "no programs or libraries under $build"; exit 1; }
exit $bad
