#!/usr/bin/env bash
# What a user runs, on a fresh Debian 12 (bookworm) machine: a minimal root made by Debian's
# debootstrap (minbase, with make and git only, and Debian's sources as an installed system
# has them), a clone of this repository's HEAD in it, and there, through chroot:
# - the README's two commands: `make test`, and `make run </dev/null`, which must end with
#   the program's own end-of-input report and its exit status 1;
# - `bash .ci/wasm.sh`: `make wasm`, and every case file through web/run-wasi.mjs on Debian's
#   own Node (18 on Debian 12), then a shorter differential run (FRESH_ROOT_WASM_RUNS, 200);
# - `make web`, on that Node and npm.
# Every package comes from what those commands install themselves (tools/need.sh), so what a
# tool installed by hand on the CI machine hides fails here.
#
# Environment:
#   FRESH_ROOT_RUN    the commands to run in the root instead (bash), e.g. 'CI=true bash .ci/run'
#   FRESH_ROOT_CACHE  a folder outside the repository for the root's tarball and the packages
#                     downloaded (default /var/cache/lamvis2-ci, made when it can be; empty for
#                     none); the tarball is made anew when it is 7 days old, and the packages
#                     that the archive no longer has are removed after a run (apt-get autoclean)
#   FRESH_ROOT_MIRROR Debian's mirror (default http://deb.debian.org/debian)
# Needs root (debootstrap, chroot and mounts). Only the committed HEAD is cloned.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
started=$SECONDS

MIRROR=${FRESH_ROOT_MIRROR:-http://deb.debian.org/debian}
CACHE=${FRESH_ROOT_CACHE-/var/cache/lamvis2-ci}
RUN=${FRESH_ROOT_RUN:-}
WASM_RUNS=${FRESH_ROOT_WASM_RUNS:-200}
SUITE=bookworm

if [ "$(id -u)" != 0 ]; then
  echo "fresh-root.sh: needs root (debootstrap, chroot, mounts)" >&2
  exit 1
fi
sh tools/need.sh "fresh-root.sh" debootstrap:debootstrap zstd:zstd

work=$(mktemp -d "${TMPDIR:-/var/tmp}/lamvis2-fresh-root.XXXXXX")
root=$work/root
mkdir "$root"

# Ends what is left running in the root (only processes whose root is this one), detaches
# the mounts, and removes the root only when nothing is mounted under it any more.
cleanup() {
  local pid
  for pid in $(ls /proc | grep -E '^[0-9]+$'); do
    [ "$(readlink "/proc/$pid/root" 2>/dev/null)" = "$root" ] && kill -KILL "$pid" 2>/dev/null || true
  done
  local mount
  for mount in $(awk -v r="$root" 'index($2, r "/") == 1 { print $2 }' /proc/self/mounts | sort -r); do
    umount -l "$mount" 2>/dev/null || true
  done
  if awk -v r="$root" 'index($2, r "/") == 1 { found = 1 } END { exit !found }' /proc/self/mounts; then
    echo "fresh-root.sh: mounts are left under $root; not removing it" >&2
  else
    rm -rf "$work"
  fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The root: from the cached tarball when there is a recent one, otherwise by debootstrap.
step=$SECONDS
tarball=""
if [ -n "$CACHE" ] && mkdir -p "$CACHE" 2>/dev/null && [ -w "$CACHE" ]; then
  tarball=$CACHE/$SUITE-minbase-make-git.tar.zst
else
  CACHE=""
fi
if [ -n "$tarball" ] && [ -n "$(find "$tarball" -mtime -7 2>/dev/null)" ]; then
  tar -C "$root" --zstd -xf "$tarball"
  echo "fresh-root.sh: root unpacked from $tarball ($((SECONDS - step)) s)"
else
  debootstrap --variant=minbase --include=make,git,ca-certificates "$SUITE" "$root" "$MIRROR" \
    >"$work/debootstrap.log" 2>&1 || { tail -n 30 "$work/debootstrap.log" >&2; exit 1; }
  # Debian's sources as an installed system has them: the release, its updates and security.
  cat >"$root/etc/apt/sources.list" <<EOF
deb $MIRROR $SUITE main
deb $MIRROR $SUITE-updates main
deb ${MIRROR%/debian}/debian-security $SUITE-security main
EOF
  rm -rf "$root/var/lib/apt/lists/"* "$root/var/cache/apt/archives/"*.deb
  if [ -n "$tarball" ]; then
    tar -C "$root" --zstd -cf "$tarball.$$" . && mv "$tarball.$$" "$tarball"
  fi
  echo "fresh-root.sh: root made by debootstrap from $MIRROR ($((SECONDS - step)) s)"
fi

# Services are not started in the root (a chroot has no init).
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod +x "$root/usr/sbin/policy-rc.d"
# The machine's own network set-up, as every machine here has it: its name servers, the
# certificate authorities it adds to Debian's (the registries' connections are checked against
# them) and npm's settings for them.
cp /etc/resolv.conf "$root/etc/resolv.conf"
if ls /usr/local/share/ca-certificates/*.crt >/dev/null 2>&1; then
  cp /usr/local/share/ca-certificates/*.crt "$root/usr/local/share/ca-certificates/"
  chroot "$root" update-ca-certificates >/dev/null 2>&1
fi
[ ! -f /etc/npmrc ] || cp /etc/npmrc "$root/etc/npmrc"
mount -t proc proc "$root/proc"
mount --rbind /dev "$root/dev"
mount --make-rslave "$root/dev"
mount -t sysfs sysfs "$root/sys"
# The packages downloaded, kept between runs (apt still installs each one as usual).
if [ -n "$CACHE" ]; then
  mkdir -p "$CACHE/apt-archives/partial"
  mount --bind "$CACHE/apt-archives" "$root/var/cache/apt/archives"
fi

git clone -q --no-local "$repo" "$root/root/lamvis2"
echo "fresh-root.sh: $(git -C "$root/root/lamvis2" log -1 --format='%h %s' | cut -c1-80)"

if [ -z "$RUN" ]; then
  RUN="set -x
make test
set +x
# make run with no input: the banner, the program's end-of-input report, its exit status 1
# (which make reports, ending with its own status 2).
status=0
make run </dev/null >/tmp/run.out 2>/tmp/run.err || status=\$?
cat /tmp/run.out /tmp/run.err
expect() {
  grep -q \"\$1\" \"\$2\" || { echo \"make run </dev/null: no line \$1 in its \$3\" >&2; exit 1; }
}
expect '^Viscoelastic laminate code, rev 9/11/99' /tmp/run.out output
expect '^run-time error F6501: READ(CON)' /tmp/run.err errors
expect '^- end of file encountered' /tmp/run.err errors
expect 'run\] Error 1\$' /tmp/run.err errors
[ \"\$status\" = 2 ] || { echo \"make run </dev/null: make ended with status \$status, not 2\" >&2; exit 1; }
echo 'make run </dev/null: the end-of-input report, and the program ended with status 1, as expected'
set -x
WASM_DIFFERENTIAL_RUNS=$WASM_RUNS bash .ci/wasm.sh
make web
set +x
node --version"
fi

# In the background, so that a signal to this script ends it (and the root) at once.
step=$SECONDS
chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM="${TERM:-dumb}" \
  PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  /bin/bash -euo pipefail -c "cd /root/lamvis2 && $RUN" </dev/null &
wait $!
echo "fresh-root.sh: the commands in the root took $((SECONDS - step)) s"
[ -z "$CACHE" ] || chroot "$root" apt-get autoclean -q >/dev/null 2>&1 || true
echo "fresh-root.sh: $((SECONDS - started)) s"
