# Sourced by the CI scripts (after `cd` to the project root): what they share.
#   JOBS            build jobs and parallel runs (2, the CI machine's cores; the environment
#                   may set another)
#   LAMVIS_VERSION  the program's version, read once (tools/version.sh) from CMakeLists.txt,
#                   where alone it is written
#   need WHAT PACKAGE:PROBE...
#                   installs the Debian packages whose probes are missing (tools/need.sh)
#   build DIR [CMAKE ARGUMENT...] [-- TARGET...]
#                   configures DIR (a Release build unless an argument says otherwise; the
#                   configure report is kept in DIR/configure.log and shown only if it fails)
#                   and builds it, or only the targets named
#   elapsed         prints how long the script has run
JOBS=${JOBS:-2}
LAMVIS_VERSION=$(sh tools/version.sh)
ci_started=$SECONDS

need() {
  sh tools/need.sh "$@"
}

build() {
  local dir=$1
  shift
  local configure=(-DCMAKE_BUILD_TYPE=Release)
  local targets=()
  while [ $# -gt 0 ]; do
    if [ "$1" = -- ]; then
      shift
      targets=("$@")
      break
    fi
    configure+=("$1")
    shift
  done
  mkdir -p "$dir"
  cmake -S . -B "$dir" "${configure[@]}" >"$dir/configure.log" 2>&1 ||
    { cat "$dir/configure.log" >&2; return 1; }
  if [ ${#targets[@]} -gt 0 ]; then
    cmake --build "$dir" -j "$JOBS" --target "${targets[@]}"
  else
    cmake --build "$dir" -j "$JOBS"
  fi
}

elapsed() {
  echo "${0##*/}: $((SECONDS - ci_started)) s"
}
