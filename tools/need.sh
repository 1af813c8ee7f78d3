#!/bin/sh
# Installs the Debian packages that a make target lacks, and says which.
#   tools/need.sh WHAT PACKAGE:PROBE...
# WHAT names the target in the messages. PROBE is a command looked up on the path, or an
# absolute file name that must exist; the PACKAGE of each missing probe is installed with
# apt-get: directly as root, through sudo when it is there, and otherwise the script stops
# with the one command to run. Nothing is printed when nothing is missing.
# The probe `node@N` is the command node, whose major version must be at least N: a Node
# found older (or still older after the install) stops the script with one line that says
# what to do.
set -eu

what=$1
shift
missing=""
node_major=""

# Stops, in one line, when the node on the path is older than version $node_major.
check_node() {
  [ -n "$node_major" ] || return 0
  found=$(node -p 'process.versions.node' 2>/dev/null || echo unknown)
  case ${found%%.*} in
    ''|*[!0-9]*) major=0 ;;
    *) major=${found%%.*} ;;
  esac
  [ "$major" -ge "$node_major" ] && return 0
  echo "$what needs Node.js $node_major or later, and $(command -v node) is version $found: install a newer one (Debian 12's nodejs is 18), put it first on PATH, and run it again." >&2
  exit 1
}
for need in "$@"; do
  package=${need%%:*}
  probe=${need#*:}
  case $probe in
    node@*) node_major=${probe#node@}; probe=node ;;
  esac
  case $probe in
    /*) [ -e "$probe" ] && continue ;;
    *) command -v "$probe" >/dev/null 2>&1 && continue ;;
  esac
  case " $missing " in
    *" $package "*) ;;
    *) missing="$missing $package" ;;
  esac
done
if [ -z "$missing" ]; then
  check_node
  exit 0
fi
missing=${missing# }

command="apt-get install -y --no-install-recommends $missing"
if ! command -v apt-get >/dev/null 2>&1; then
  echo "$what needs: $missing (Debian package names); install them, then run it again." >&2
  exit 1
fi
if [ "$(id -u)" = 0 ]; then
  run=""
elif command -v sudo >/dev/null 2>&1; then
  run="sudo"
else
  echo "$what needs Debian packages that are not installed. As root, run:" >&2
  echo "  apt-get update && $command" >&2
  exit 1
fi

echo "$what: installing $missing (apt-get)"
log=$(mktemp)
if ! $run env DEBIAN_FRONTEND=noninteractive sh -c "apt-get update -q && $command" >"$log" 2>&1; then
  cat "$log" >&2
  rm -f "$log"
  echo "$what: installing $missing failed (the apt-get output is above)" >&2
  exit 1
fi
rm -f "$log"
check_node
