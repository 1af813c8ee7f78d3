# Sourced by the CI scripts that run Windows programs under wine: a prefix of its own,
# created before any test captures standard error (its first start reports there); one
# persistent server, warmed once, stopped (and the prefix removed) when the script exits.
# Defines `again`, for the steps that start programs under wine.
export WINEPREFIX
WINEPREFIX=$(mktemp -d /tmp/lamvis2-wine.XXXXXX)
export WINEDEBUG=-all
wine_cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}
trap wine_cleanup EXIT
wineserver -p
wineboot -i >/dev/null 2>&1
wine cmd /c exit >/dev/null 2>&1

# Now and then (about one start in several thousand, under load) wine starts a program
# that then writes nothing at all and ends with status 1. A step that fails is therefore
# run once more: the runs are the same (fixed cases, a fixed seed), so a disagreement of the
# program fails again, and the step fails only then.
again() {
  "$@" || { echo "${0##*/}: failed once; running it again to tell the program from wine"; "$@"; }
}
