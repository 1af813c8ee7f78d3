#!/usr/bin/env bash
# Builds the downloads into dist/ (run by `make dist`, which first installs the compilers):
#   lamvis2-VERSION-windows-x86_64.zip     lamvis2.exe, lamvis2-kit.exe, README.txt (CR LF),
#                                          examples/
#   lamvis2-VERSION-linux-x86_64.tar.gz    lamvis2-VERSION-linux-x86_64/: the static
#   lamvis2-VERSION-linux-aarch64.tar.gz   programs lamvis2 and lamvis2-kit, their manual
#                                          pages, README.md, examples/
#   lamvis2_VERSION_amd64.deb              /usr/bin/lamvis2 and lamvis2-kit, their manual
#   lamvis2_VERSION_arm64.deb              pages, README and examples in /usr/share/doc/lamvis2/
#   lamvis2-VERSION.html                   the browser page, when the tree has one
#   lamvis2-VERSION-cp3XY-cp3XY-linux_x86_64.whl
#                                          the Python package (the x86-64 program inside)
#   lamvis2-VERSION-verification.pdf       the verification manual (make verify)
#   SHA256SUMS
# The files are reproducible: built from the same commit they are the same bytes wherever
# and whenever they are built. Every time stamp is SOURCE_DATE_EPOCH (by default the time
# of the last commit), the build folders are mapped out of the binaries, and the archives
# list their entries sorted, owned by root, with fixed modes.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

export LC_ALL=C TZ=UTC
umask 022
# Only the flags the build sets: none from the caller's environment.
unset CFLAGS CXXFLAGS CPPFLAGS LDFLAGS

version=$(sh tools/version.sh) || { echo "dist: no version" >&2; exit 1; }
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null) ||
    { echo "dist: not a git clone: set SOURCE_DATE_EPOCH to the sources' time" >&2; exit 1; }
fi
export SOURCE_DATE_EPOCH
jobs=${JOBS:-2}

work=build-dist
out=dist
rm -rf "$work/stage" "$out"
mkdir -p "$work/stage" "$out"
stage=$root/$work/stage

# One release build of the program and the kit, installed with the manual page into $stage/install/NAME.
build() {
  local name=$1 dir=$work/$1
  shift
  echo "dist: building $name"
  mkdir -p "$dir"
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DLAMVIS_TESTS=OFF -DLAMVIS_STATIC=ON \
    -DLAMVIS_REPRODUCIBLE=ON "$@" >"$dir/configure.log" 2>&1 ||
    { cat "$dir/configure.log" >&2; exit 1; }
  cmake --build "$dir" -j "$jobs" --target lamvis2 lamvis2-kit >"$dir/build.log" 2>&1 ||
    { cat "$dir/build.log" >&2; exit 1; }
  cmake --install "$dir" --prefix "$stage/install/$name" --strip >/dev/null
}

build linux-x86_64
build linux-aarch64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux.cmake
build windows-x86_64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake

# The Linux programs must run without any library installed.
for name in linux-x86_64 linux-aarch64; do
  for program in lamvis2 lamvis2-kit; do
    if readelf -l "$stage/install/$name/bin/$program" | grep -q 'INTERP\|DYNAMIC'; then
      echo "dist: $name/bin/$program is not linked statically" >&2
      exit 1
    fi
  done
done

# Every file and folder of a staged tree: fixed modes (programs 0755, others 0644) and the
# one time stamp. settle TREE PROGRAM...
settle() {
  find "$1" -type d -exec chmod 0755 {} +
  find "$1" -type f -exec chmod 0644 {} +
  [ $# -lt 2 ] || chmod 0755 "${@:2}"
  find "$1" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
}

# The example answer files, as they are in the tree or with CR LF line ends.
copy_examples() {
  mkdir -p "$2"
  for f in examples/*.txt; do
    if [ "$1" = crlf ]; then sed 's/\r*$/\r/' "$f" >"$2/${f##*/}"; else cp "$f" "$2/"; fi
  done
}

# A gzip-compressed tar archive of $stage/DIR with sorted entries owned by root.
tar_gz() {
  tar -C "$stage" --sort=name --format=gnu --owner=0 --group=0 --numeric-owner \
    --mtime="@$SOURCE_DATE_EPOCH" -cf - "$1" | gzip -9n >"$out/$1.tar.gz"
}

# The Linux archives: one folder named as the archive.
for arch in x86_64 aarch64; do
  name=lamvis2-$version-linux-$arch
  dir=$stage/$name
  mkdir -p "$dir"
  cp "$stage/install/linux-$arch/bin/lamvis2" "$stage/install/linux-$arch/bin/lamvis2-kit" "$dir/"
  cp "$stage/install/linux-$arch/share/man/man1/lamvis2.1" \
     "$stage/install/linux-$arch/share/man/man1/lamvis2-kit.1" "$dir/"
  cp README.md "$dir/"
  copy_examples lf "$dir/examples"
  settle "$dir" "$dir/lamvis2" "$dir/lamvis2-kit"
  tar_gz "$name"
done

# The Windows archive: the program, the README and the examples, all with CR LF line ends,
# at the top of the archive (Windows extracts it into a folder of its name).
name=lamvis2-$version-windows-x86_64
dir=$stage/$name
mkdir -p "$dir"
cp "$stage/install/windows-x86_64/bin/lamvis2.exe" "$stage/install/windows-x86_64/bin/lamvis2-kit.exe" "$dir/"
sed 's/\r*$/\r/' README.md >"$dir/README.txt"
copy_examples crlf "$dir/examples"
settle "$dir" "$dir/lamvis2.exe" "$dir/lamvis2-kit.exe"
(cd "$dir" && find . -type f | sed 's|^\./||' | sort | zip -q -X -D -9 "$root/$out/$name.zip" -@)

# The Debian packages. The manual page and the changelog are compressed as Debian's policy
# asks; the package carries no dependency, its program being static.
deb() {
  local arch=$1 debarch=$2
  local pkg=$stage/deb-$debarch
  local doc=$pkg/usr/share/doc/lamvis2
  mkdir -p "$pkg/DEBIAN" "$pkg/usr/bin" "$pkg/usr/share/man/man1" "$doc" \
           "$pkg/usr/share/lintian/overrides"
  cp "$stage/install/linux-$arch/bin/lamvis2" "$stage/install/linux-$arch/bin/lamvis2-kit" "$pkg/usr/bin/"
  gzip -9n <doc/lamvis2.1 >"$pkg/usr/share/man/man1/lamvis2.1.gz"
  gzip -9n <doc/lamvis2-kit.1 >"$pkg/usr/share/man/man1/lamvis2-kit.1.gz"
  cp README.md packaging/deb/copyright "$doc/"
  copy_examples lf "$doc/examples"
  sed -e "s/@VERSION@/$version/" -e "s/@DATE@/$(date -u -R -d "@$SOURCE_DATE_EPOCH")/" \
    packaging/deb/changelog | gzip -9n >"$doc/changelog.gz"
  grep -v '^#' packaging/deb/lintian-overrides >"$pkg/usr/share/lintian/overrides/lamvis2"
  local size
  size=$(cd "$pkg" && find usr -type f -printf '%s\n' | awk '{ k += int(($1 + 1023) / 1024) } END { print k }')
  sed -e "s/@VERSION@/$version/" -e "s/@ARCH@/$debarch/" -e "s/@INSTALLED_SIZE@/$size/" \
    packaging/deb/control >"$pkg/DEBIAN/control"
  (cd "$pkg" && find usr -type f | sort | xargs md5sum >DEBIAN/md5sums)
  settle "$pkg" "$pkg/usr/bin/lamvis2" "$pkg/usr/bin/lamvis2-kit"
  dpkg-deb --root-owner-group -Zxz -z9 --build "$pkg" "$out/lamvis2_${version}_$debarch.deb" >/dev/null
}
deb x86_64 amd64
deb aarch64 arm64

# The Python package's wheel, from the x86-64 build (its program is the archive's, stripped).
echo "dist: the Python wheel"
make --no-print-directory wheel BUILD_DIR="$work/linux-x86_64" >"$work/wheel.log" 2>&1 ||
  { cat "$work/wheel.log" >&2; exit 1; }
install -m 0644 "$work"/linux-x86_64/wheel/lamvis2-"$version"-*.whl "$out/"

# The browser page, where the tree has one.
if [ -f web/package.json ]; then
  echo "dist: building the browser page"
  make --no-print-directory web
  install -m 0644 build-web/lamvis2.html "$out/lamvis2-$version.html"
fi

# The verification manual: the cases run with the x86-64 Linux program of this release;
# make verify fails, and so the release, when a number neither passes nor is explained.
echo "dist: the verification manual"
make --no-print-directory verify BUILD_DIR="$work/linux-x86_64" >"$work/verify.log" 2>&1 ||
  { cat "$work/verify.log" >&2; exit 1; }
install -m 0644 "$work/linux-x86_64/verification/lamvis2-$version-verification.pdf" "$out/"

(cd "$out" && find . -maxdepth 1 -type f ! -name SHA256SUMS | sed 's|^\./||' | sort |
  xargs sha256sum >SHA256SUMS)
echo "dist: $out/ (SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH)"
(cd "$out" && for f in *; do printf '  %9d  %s\n' "$(stat -c %s "$f")" "$f"; done)
