#!/bin/sh
# The search-path check on made-up builds: a program whose path has an empty entry (a
# trailing ':'), or a relative one, is named; $ORIGIN and absolute entries pass.
# Usage: library_search_path_check_test.sh <library_search_path_test.sh> <C compiler>
set -eu
check=$1
cc=$2
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
echo 'int main(void) { return 0; }' > "$tree/main.c"
fails() {
  mkdir -p "$tree/$1/bin" "$tree/$1/lib"
  "$cc" "$tree/main.c" -o "$tree/$1/bin/program" -Wl,-rpath,"$2"
  if out=$(sh "$check" "$tree/$1"); then
    echo "passed with \"$2\""
    exit 1
  fi
  case $out in *"$tree/$1/bin/program"*) ;; *) echo "did not name the program: $out"; exit 1 ;; esac
}
passes() {
  mkdir -p "$tree/$1/bin" "$tree/$1/lib"
  "$cc" "$tree/main.c" -o "$tree/$1/bin/program" -Wl,-rpath,"$2"
  sh "$check" "$tree/$1" || { echo "refused \"$2\""; exit 1; }
}
fails trailing '$ORIGIN:$ORIGIN/../lib:'
fails leading ':$ORIGIN'
fails doubled '$ORIGIN::/usr/lib'
fails relative 'lib:$ORIGIN'
passes good '$ORIGIN/../lib:$ORIGIN:/opt/pellam/lib'
echo ok
