#!/usr/bin/env bash
# The downloads of `make dist`, tried as a user would try them:
# - the manual page has no formatting warning;
# - `make install` puts the program and the manual page under PREFIX (and DESTDIR);
# - every archive and package holds exactly the files it should;
# - the amd64 package is installed with dpkg, run from the path, and removed; the arm64
#   package is unpacked and run under qemu-aarch64; the Linux archives are unpacked and run
#   (the aarch64 one under qemu-aarch64); the Windows archive is unpacked and its program
#   run under wine on the CR LF answer files. Each program's output on the example answer
#   files must be the native build's, byte for byte, and every whole-program case file must
#   pass against the unpacked programs (the package's are the archives' own, byte for byte);
# - lintian reports no error on either package, and SHA256SUMS checks;
# - a second `make dist`, later, in another clone in another folder, gives the same bytes.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
source .ci/lib.sh

need "CI dist" qemu-user:qemu-aarch64 wine:wine wine64:/usr/lib/wine/wine64 \
  lintian:lintian unzip:unzip man-db:man git:git

fail() { echo "dist.sh: $*" >&2; exit 1; }

echo "== manual page"
for page in doc/lamvis2.1 doc/lamvis2-kit.1; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$page has warnings: $warnings"
done

echo "== make dist"
start=$(date +%s)
make --no-print-directory dist JOBS="$JOBS"
echo "make dist took $(($(date +%s) - start)) s"
version=$LAMVIS_VERSION
dist=$root/dist
(cd "$dist" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not check"
[ -s "$dist/lamvis2-$version-verification.pdf" ] || fail "dist/ has no verification manual"

# The native program (and the whole-program tests) that the downloads are held to.
build build -- lamvis2 program_tests >/dev/null
native=$root/build/lamvis2

tmp=$(mktemp -d /tmp/lamvis2-dist.XXXXXX)
installed=""
cleanup() {
  [ -z "$installed" ] || dpkg -r lamvis2 >/dev/null 2>&1 || true
  rm -rf "$tmp"
}
trap cleanup EXIT

echo "== make install"
make --no-print-directory install PREFIX=/usr DESTDIR="$tmp/destdir" >/dev/null
cmp -s "$tmp/destdir/usr/share/man/man1/lamvis2.1" doc/lamvis2.1 ||
  fail "make install did not install the manual page in share/man/man1"
"$tmp/destdir/usr/bin/lamvis2" <examples/glass_cross_ply.txt | cmp -s - <("$native" <examples/glass_cross_ply.txt) ||
  fail "make install did not install the program in bin"

# Each example answer file, through `RUN... PROGRAM`, against the native program: standard
# output, standard error and exit status; returns 1 at the first difference. With crlf the program reads the file with CR LF
# line ends, as a Windows user's would be.
same_as_native() {
  local label=$1 crlf=$2
  shift 2
  local f name
  for f in examples/*.txt; do
    name=${f##*/}
    local input=$f
    if [ "$crlf" = crlf ]; then
      input=$tmp/crlf-$name
      sed 's/\r*$/\r/' "$f" >"$input"
    fi
    local want=$tmp/want-$name got=$tmp/got-$label-$name
    local status=0
    "$native" <"$f" >"$want.out" 2>"$want.err" || status=$?
    echo "$status" >"$want.status"
    status=0
    "$@" <"$input" >"$got.out" 2>"$got.err" || status=$?
    echo "$status" >"$got.status"
    for part in out err status; do
      if ! cmp -s "$want.$part" "$got.$part"; then
        echo "$label: $name: the $part differs from the native program's" >&2
        return 1
      fi
    done
  done
  echo "$label: the example answer files give the native program's output"
}

# The names a download holds, sorted, against the names it should hold.
holds() {
  local label=$1 want=$2 got=$3
  diff <(sort <<<"$want") <(sort <<<"$got") >/dev/null ||
    { diff <(sort <<<"$want") <(sort <<<"$got") >&2 || true; fail "$label holds other files than it should"; }
}
examples=$(cd examples && ls *.txt)

echo "== Linux archives"
for arch in x86_64 aarch64; do
  name=lamvis2-$version-linux-$arch
  holds "$name.tar.gz" "$(printf '%s\n' "$name/" "$name/lamvis2" "$name/lamvis2.1" \
    "$name/lamvis2-kit" "$name/lamvis2-kit.1" \
    "$name/README.md" "$name/examples/"; sed "s|^|$name/examples/|" <<<"$examples")" \
    "$(tar tzf "$dist/$name.tar.gz")"
  tar -C "$tmp" -xzf "$dist/$name.tar.gz"
  [ -x "$tmp/$name/lamvis2" ] || fail "$name/lamvis2 is not executable"
done
same_as_native linux-x86_64 lf "$tmp/lamvis2-$version-linux-x86_64/lamvis2" || exit 1
same_as_native linux-aarch64 lf qemu-aarch64 "$tmp/lamvis2-$version-linux-aarch64/lamvis2" || exit 1
LAMVIS2_PROGRAM="$tmp/lamvis2-$version-linux-x86_64/lamvis2" \
  build/program_tests --gtest_filter='Cases/*' --gtest_brief=1
LAMVIS2_EMULATOR=qemu-aarch64 LAMVIS2_PROGRAM="$tmp/lamvis2-$version-linux-aarch64/lamvis2" \
  build/program_tests --gtest_filter='Cases/*' --gtest_brief=1

echo "== Debian packages"
deb_files=$(printf '%s\n' ./usr/bin/lamvis2 ./usr/share/man/man1/lamvis2.1.gz \
  ./usr/bin/lamvis2-kit ./usr/share/man/man1/lamvis2-kit.1.gz \
  ./usr/share/doc/lamvis2/README.md ./usr/share/doc/lamvis2/copyright \
  ./usr/share/doc/lamvis2/changelog.gz ./usr/share/lintian/overrides/lamvis2
  sed 's|^|./usr/share/doc/lamvis2/examples/|' <<<"$examples")
for debarch in amd64 arm64; do
  deb=$dist/lamvis2_${version}_$debarch.deb
  [ "$(dpkg-deb -f "$deb" Architecture)" = "$debarch" ] || fail "$deb: wrong architecture"
  [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "$deb: wrong version"
  holds "${deb##*/}" "$deb_files" "$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }')"
  lintian --fail-on error "$deb" || fail "lintian reports errors on ${deb##*/}"
  dpkg-deb -x "$deb" "$tmp/deb-$debarch"
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings \
    -l "$tmp/deb-$debarch/usr/share/man/man1/lamvis2.1.gz" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "${deb##*/}: the manual page has warnings: $warnings"
done
cmp "$tmp/deb-amd64/usr/bin/lamvis2" "$tmp/lamvis2-$version-linux-x86_64/lamvis2" ||
  fail "the amd64 package and the x86-64 archive hold different programs"
cmp "$tmp/deb-arm64/usr/bin/lamvis2" "$tmp/lamvis2-$version-linux-aarch64/lamvis2" ||
  fail "the arm64 package and the aarch64 archive hold different programs"
same_as_native deb-arm64 lf qemu-aarch64 "$tmp/deb-arm64/usr/bin/lamvis2" || exit 1
if dpkg -s lamvis2 >/dev/null 2>&1; then
  echo "lamvis2 is installed on this machine already: the amd64 package is tried unpacked"
  same_as_native deb-amd64 lf "$tmp/deb-amd64/usr/bin/lamvis2" || exit 1
else
  installed=yes
  dpkg -i "$dist/lamvis2_${version}_amd64.deb" >/dev/null
  [ "$(command -v lamvis2)" = /usr/bin/lamvis2 ] || fail "the installed lamvis2 is not on the path"
  [ "$(man -w lamvis2)" = /usr/share/man/man1/lamvis2.1.gz ] || fail "man does not find lamvis2(1)"
  same_as_native deb-amd64-installed lf lamvis2 || exit 1
  dpkg -r lamvis2 >/dev/null
  installed=""
  [ ! -e /usr/bin/lamvis2 ] || fail "dpkg -r left /usr/bin/lamvis2"
  echo "deb-amd64: installed, run and removed"
fi

echo "== Windows archive"
name=lamvis2-$version-windows-x86_64
holds "$name.zip" "$(printf '%s\n' lamvis2.exe lamvis2-kit.exe README.txt; sed 's|^|examples/|' <<<"$examples")" \
  "$(unzip -Z1 "$dist/$name.zip")"
mkdir "$tmp/$name"
unzip -q "$dist/$name.zip" -d "$tmp/$name"
# README.txt is the README with CR LF line ends, every one of them.
! grep -q $'[^\r]$\|^$' "$tmp/$name/README.txt" || fail "README.txt has a line without CR LF"
cmp -s <(tr -d '\r' <"$tmp/$name/README.txt") README.md || fail "README.txt is not the README"
source .ci/wine.sh
trap 'wine_cleanup; cleanup' EXIT
again same_as_native windows-x86_64 crlf wine "$tmp/$name/lamvis2.exe" || exit 1
again env LAMVIS2_EMULATOR=wine LAMVIS2_PROGRAM="$tmp/$name/lamvis2.exe" LAMVIS2_CASE_PLATFORM=win32 \
  build/program_tests --gtest_filter='Cases/*' --gtest_brief=1

echo "== lamvis2-kit in the downloads"
# Each kit compares a run of the program beside it on every example with the native
# program's results: all agree.
kit_agrees() {
  local label=$1
  shift
  local f
  for f in examples/*.txt; do
    "$native" <"$f" >"$tmp/kit-want.out" || true
    "$@" compare "$tmp/kit-want.out" --answers "$f" >/dev/null ||
      fail "$label: lamvis2-kit compare does not agree on $f"
  done
  echo "$label: lamvis2-kit agrees on the example answer files"
}
kit_agrees linux-x86_64 "$tmp/lamvis2-$version-linux-x86_64/lamvis2-kit"
LAMVIS2_EMULATOR=qemu-aarch64 kit_agrees linux-aarch64 qemu-aarch64 "$tmp/lamvis2-$version-linux-aarch64/lamvis2-kit"
again kit_agrees windows-x86_64 wine "$tmp/$name/lamvis2-kit.exe"

echo "== reproducible: make dist again, in another clone in another folder"
[ -z "$(git status --porcelain --untracked-files=no)" ] ||
  fail "the work tree has changes that are not committed: a clone would not build them"
other=$tmp/another/folder/lamvis2
git clone -q "$root" "$other"
git -C "$other" checkout -q "$(git rev-parse HEAD)"
(cd "$other" && make --no-print-directory dist >/dev/null)
if ! cmp -s "$dist/SHA256SUMS" "$other/dist/SHA256SUMS"; then
  diff "$dist/SHA256SUMS" "$other/dist/SHA256SUMS" >&2 || true
  fail "two builds of the same commit differ"
fi
echo "the two builds agree byte for byte:"
cat "$dist/SHA256SUMS"
