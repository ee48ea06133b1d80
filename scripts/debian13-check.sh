#!/usr/bin/env bash
# Runs the README's test command as a new user on Debian 13 would: makes a fresh minimal Debian 13
# root with debootstrap, clones the checked-out commit into it, installs git (the user cloned with
# it), and runs scripts/test.sh there as root. The root is removed at the end, whatever happened.
# Run as root on a Debian machine; installs debootstrap if it is missing. Uncommitted changes are not
# part of the check. TALVORA_DEBIAN_MIRROR overrides the mirror, which is otherwise the one this
# machine's own apt sources name.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

[ "$(id -u)" -eq 0 ] || { echo "debian13-check.sh makes and enters a Debian root: run it as root" >&2; exit 1; }
# shellcheck source=scripts/deps.sh
source "$repo/scripts/deps.sh"
install_packages debootstrap git

mirror=${TALVORA_DEBIAN_MIRROR:-$(apt-get indextargets --format '$(ORIGIN) $(LABEL) $(REPO_URI)' |
  awk '$1 == "Debian" && $2 == "Debian" { print $3; exit }')}
mirror=${mirror:-http://deb.debian.org/debian}

root=$(mktemp -d "${TMPDIR:-/var/tmp}/talvora-debian13.XXXXXX")
log=$root.debootstrap.log
# It becomes the root folder, which every user must be able to enter (apt downloads as _apt).
chmod 0755 "$root"
# Everything is mounted inside a mount namespace of its own (below), so the mounts end with it, even
# if this script is killed. Before removing the root, make sure of that: removing a tree with /dev
# bound into it would remove the machine's device files.
cleanup() {
  local status=$?
  if grep -qF " $root/" /proc/self/mountinfo; then
    echo "debian13-check.sh: still mounted under $root; not removing it:" >&2
    grep -F " $root/" /proc/self/mountinfo >&2
    exit 1
  fi
  rm -rf --one-file-system "$root" "$log"
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

echo "=== debootstrap trixie from $mirror"
debootstrap --variant=minbase trixie "$root" "$mirror" >"$log" 2>&1 || { cat "$log" >&2; exit 1; }
echo "Debian $(cat "$root/etc/debian_version")"

git clone -q --no-hardlinks "$repo" "$root/root/talvora"
git -C "$root/root/talvora" checkout -q --detach "$(git -C "$repo" rev-parse HEAD)"
git -C "$repo" diff --quiet HEAD || echo "note: uncommitted changes in $repo are not checked"

# in_root [--no-network] COMMAND: runs COMMAND with bash in the root, as root, in namespaces of its
# own: mounts (proc, sys, dev with its own pseudo-terminals and shared memory, /run), process ids
# (so that the tests see only their own processes, and all of them end with the command) and,
# with --no-network, network (so that the X displays and sockets of the tests cannot meet those of
# programs on this machine, which a fresh machine would not have).
in_root() {
  local net=() lo=no
  if [ "$1" = --no-network ]; then
    net=(--net)
    lo=yes
    shift
  fi
  unshare --mount --propagation private --pid --fork --kill-child "${net[@]}" -- bash -euc '
    root=$1
    [ "$2" = no ] || ip link set lo up
    mount -t proc proc "$root/proc"
    mount -t sysfs -o ro sysfs "$root/sys"
    mount --bind /dev "$root/dev"
    mount -t devpts -o newinstance,ptmxmode=0666,mode=0620 devpts "$root/dev/pts"
    mount -t tmpfs -o mode=1777 tmpfs "$root/dev/shm"
    mount -t tmpfs -o mode=0755 tmpfs "$root/run"
    exec chroot "$root" env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
      HOME=/root LANG=C.UTF-8 TERM=dumb DEBIAN_FRONTEND=noninteractive bash -euc "$3"
  ' in_root "$root" "$lo" "$1"
}
echo "=== git and the test command's packages, in the root"
in_root 'apt-get install -y -qq --no-install-recommends git >/dev/null && cd /root/talvora && scripts/deps.sh test'
echo "=== scripts/test.sh in the root"
in_root --no-network 'cd /root/talvora && scripts/test.sh'
# The package the test command built, installed as the README says, then started from the menu's
# command: still running after three seconds, it has started.
echo "=== apt install ./talvora_*.deb in the root, then talvora"
in_root --no-network '
  apt install -y -q /root/talvora/build/package/talvora_*.deb
  cd "$(mktemp -d)"
  status=0
  QT_QPA_PLATFORM=offscreen timeout 3 talvora || status=$?
  [ "$status" -eq 124 ] || { echo "FAIL: the installed talvora ended with status $status" >&2; exit 1; }
  echo "the installed talvora started and was still running after 3 s"
  apt-get remove -y -qq talvora >/dev/null'
