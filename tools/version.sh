#!/bin/sh
# Prints the program's version, written once in CMakeLists.txt; fails when there is none.
set -eu
cd "$(dirname "$0")/.."
version=$(sed -n 's/^project(lamvis2 VERSION \([0-9][0-9.]*\) .*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "no project version in CMakeLists.txt" >&2; exit 1; }
echo "$version"
