#!/usr/bin/env bash
# Builds the .deb, installs it into a fresh Debian root made with debootstrap,
# checks the programs, their capabilities and the group there, removes the
# package and checks that nothing of it is left. Run by scripts/dev
# package-test (VQ9447_PACKAGE_TEST=1); needs root. Exit 77: skipped.
#   packaging/package_test.sh BUILD_DIR
# The bare root is cached as BUILD_DIR/package-test/root.tar and the packages
# apt fetches for it in BUILD_DIR/package-test/archives, so reruns are quick.
set -euo pipefail

build="$(cd "${1:?usage: package_test.sh BUILD_DIR}" && pwd)"
suite="${VQ9447_PACKAGE_TEST_SUITE:-bookworm}"
mirror="${VQ9447_PACKAGE_TEST_MIRROR:-http://deb.debian.org/debian}"
work="$build/package-test"
root="$work/root"

skip() {
    echo "SKIPPED: $*"
    exit 77
}
fail() {
    echo "FAILED: $*" >&2
    exit 1
}

[ "${VQ9447_PACKAGE_TEST:-}" = 1 ] || skip "minutes long and it downloads Debian packages: run it with scripts/dev package-test"
[ "$(id -u)" -eq 0 ] || skip "the package test needs root (debootstrap, chroot, setcap)"
command -v debootstrap >/dev/null || skip "debootstrap is not installed (scripts/dev package-test installs it)"
command -v cpack >/dev/null || skip "cpack is not installed"

cleanup() {
    for m in "$root/var/cache/apt/archives" "$root/proc"; do
        mountpoint -q "$m" 2>/dev/null && umount -l "$m"
    done
    rm -rf "$root"
}
trap cleanup EXIT

echo "== building the package"
cmake --build "$build" --target vq9447qa vq9447-agent vq_package_files $(cmake --build "$build" --target help |
    grep -qw vq9447-cli && echo vq9447-cli) -j"$(nproc)" >/dev/null
rm -rf "$build/package"
(cd "$build" && cpack -G DEB >/dev/null)
deb="$(ls "$build"/package/vq9447qa_*.deb)"
echo "$deb"
dpkg-deb --info "$deb" | grep -E "^ (Package|Version|Depends):"

mkdir -p "$work/archives/partial"
if [ ! -f "$work/root.tar" ]; then
    echo "== making a $suite root with debootstrap (cached in $work/root.tar)"
    rm -rf "$work/bootstrap"
    debootstrap --variant=minbase "$suite" "$work/bootstrap" "$mirror" >"$work/debootstrap.log" 2>&1 ||
        fail "debootstrap failed, see $work/debootstrap.log"
    tar -C "$work/bootstrap" -cf "$work/root.tar.part" . && mv "$work/root.tar.part" "$work/root.tar"
    rm -rf "$work/bootstrap"
fi

cleanup
mkdir -p "$root"
tar -C "$root" -xf "$work/root.tar"
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount -t proc proc "$root/proc"
mount --bind "$work/archives" "$root/var/cache/apt/archives"
cp "$deb" "$root/tmp/"
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }

echo "== installing"
in_root apt-get update -qq >/dev/null
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "/tmp/$(basename "$deb")" >"$work/install.log" 2>&1 ||
    { tail -20 "$work/install.log"; fail "the package does not install"; }
in_root dpkg -L vq9447qa >"$work/files.txt"

echo "== checking the installed programs"
in_root getent group vq9447 >/dev/null || fail "no group vq9447"
for p in vq9447qa vq9447-agent vq9447-cli; do
    f="/usr/bin/$p"
    if [ ! -e "$root$f" ]; then
        [ "$p" = vq9447-cli ] && { echo "SKIP $p: not built in this tree"; continue; }
        fail "$f is not installed"
    fi
    owner="$(in_root stat -c '%U:%G %a' "$f")"
    [ "$owner" = "root:vq9447 750" ] || fail "$f is $owner, not root:vq9447 750"
    caps="$(in_root getcap "$f")"
    echo "$caps" | grep -q "cap_net_admin,cap_net_raw=eip" || fail "$f has the capabilities '$caps'"
    echo "$p: $owner, $caps"
done
in_root /usr/bin/vq9447qa --help | grep -q "^usage: vq9447qa" || fail "vq9447qa --help"
in_root /usr/bin/vq9447-agent --help | grep -q "^usage: vq9447-agent" || fail "vq9447-agent --help"
for page in vq9447qa vq9447-cli vq9447-agent; do
    [ -f "$root/usr/share/man/man1/$page.1.gz" ] || fail "no man page $page(1)"
done
[ -f "$root/usr/share/applications/vq9447qa.desktop" ] || fail "no desktop entry"
[ -f "$root/usr/share/icons/hicolor/scalable/apps/vq9447qa.svg" ] || fail "no SVG icon"
[ -f "$root/usr/share/icons/hicolor/48x48/apps/vq9447qa.png" ] || fail "no 48 px icon"
if [ -e "$root/usr/bin/vq9447-cli" ]; then
    in_root /usr/bin/vq9447-cli --help >"$work/cli-help.txt" || fail "vq9447-cli --help"
    grep -q "Usage: vq9447-cli" "$work/cli-help.txt" || fail "vq9447-cli --help prints no usage"
    out="$(in_root /usr/bin/vq9447-cli --simulated mac read 0x1000)" || fail "vq9447-cli --simulated mac read 0x1000"
    echo "vq9447-cli --simulated mac read 0x1000: $out"
    echo "$out" | grep -qi "94470101" || fail "the MAC version register read $out"
else
    echo "SKIP vq9447-cli --help and --simulated mac read 0x1000: vq9447-cli is not built in this tree"
fi

echo "== removing"
in_root env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq vq9447qa >"$work/remove.log" 2>&1 ||
    { tail -20 "$work/remove.log"; fail "the package does not remove"; }
left=()
while read -r f; do
    [ -e "$root$f" ] || continue
    # Folders that hold other files or belong to other packages (/usr/bin,
    # /usr/share/man/man1 ...) stay.
    if [ -d "$root$f" ]; then
        [ -n "$(ls -A "$root$f")" ] && continue
        in_root dpkg -S "$f" >/dev/null 2>&1 && continue
    fi
    left+=("$f")
done <"$work/files.txt"
[ "${#left[@]}" -eq 0 ] || fail "left behind: ${left[*]}"
! in_root getent group vq9447 >/dev/null || fail "the group vq9447 is still there"
! in_root dpkg-statoverride --list | grep -q vq9447 || fail "mode overrides are still there"
echo "PASSED: installed, checked and removed without a trace"
