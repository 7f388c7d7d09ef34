#!/bin/sh
# Installs a BrindleForge .deb on a clean, minimal Debian 12 and uses it as a
# user would: apt pulls in what the package needs, then brindleforge-cli
# runs, the window starts under Xvfb, and a CMake project finds the package
# and converts an image with brindleforge_add_images().
#
#   scripts/check-deb-bookworm.sh build/brindleforge_<version>_<arch>.deb [root [mirror]]
#
# Needs root, debootstrap and a Debian mirror. root is the folder of the
# minimal system (default /var/tmp/brindleforge-bookworm); it is made with
# debootstrap when it does not exist, and kept for the next run (delete it
# to start clean). mirror is the Debian archive to make it from; by default
# the first one of this machine's own apt sources (sources.list lines or
# deb822 URIs:, as apt reads them) that serves bookworm, else the first
# one at all. Not part of CI: it is slow and needs the network.
set -eu

usage() {
    echo "usage: $0 brindleforge_<version>_<arch>.deb [root [mirror]]" >&2
    exit 2
}
if [ $# -lt 1 ] || [ $# -gt 3 ]; then
    usage
fi

# The archive of this machine's apt sources, from apt itself: each "deb"
# source's URI and suite, in the order of the sources; security archives
# are left out, as they hold updates only.
apt_mirror() {
    command -v apt-get >/dev/null || return 0
    # shellcheck disable=SC2016 # $(...) is apt's own field syntax
    apt-get indextargets --no-release-info --format '$(TARGET_OF) $(REPO_URI) $(RELEASE)' \
        'Created-By: Packages' 2>/dev/null |
        awk '$1 == "deb" && $3 !~ /-security$/ {
                 if (first == "") first = $2
                 if ($3 == "bookworm" && bookworm == "") bookworm = $2
             }
             END { print (bookworm != "" ? bookworm : first) }'
}

deb=$(realpath "$1")
root=${2:-/var/tmp/brindleforge-bookworm}
mirror=${3:-$(apt_mirror)}
here=$(cd "$(dirname "$0")/.." && pwd)

if [ ! -x "$root/usr/bin/apt-get" ]; then
    if [ -z "$mirror" ]; then
        echo "$0: no Debian mirror in this machine's apt sources; give one as the third argument" >&2
        exit 2
    fi
    echo "== debootstrap bookworm from $mirror"
    debootstrap --variant=minbase bookworm "$root" "$mirror"
fi

mounted=""
cleanup() {
    for m in $mounted; do
        umount "$root/$m" || true
    done
}
trap cleanup EXIT INT TERM
for m in proc sys dev dev/pts; do
    mount --bind "/$m" "$root/$m"
    mounted="$m $mounted"
done
cp /etc/resolv.conf "$root/etc/resolv.conf"

work=/root/brindleforge-check
rm -rf "${root:?}$work"
mkdir -p "$root$work/consumer"
cp "$deb" "$root$work/"
cp "$here/tests/cli/identity/images/photo.png" "$root$work/consumer/logo.png"
cat > "$root$work/consumer/CMakeLists.txt" <<'EOF'
cmake_minimum_required(VERSION 3.17)
project(DebConsumer NONE)
find_package(BrindleForge 0.2 REQUIRED)
get_target_property(cli BrindleForge::cli LOCATION)
message(STATUS "BrindleForge ${BrindleForge_VERSION} from ${BrindleForge_DIR}, cli ${cli}")
add_custom_target(filesystem ALL)
brindleforge_add_images(filesystem LVGL 9 FORMAT BIN CF RGB565 OUTPUT_DIR fs FILES logo.png)
EOF

in_root() {
    chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin \
        DEBIAN_FRONTEND=noninteractive LANG=C.UTF-8 sh -euc "$1"
}

echo "== installing $(basename "$deb") with apt"
in_root "apt-get update -q >/dev/null
         cd $work && apt-get install -y ./$(basename "$deb") >apt.log 2>&1 || { cat apt.log; exit 1; }
         grep -E 'newly installed|^Setting up brindleforge' apt.log"
in_root "dpkg -s brindleforge | grep -E '^(Status|Version|Depends|Recommends):'"

echo "== brindleforge-cli"
in_root "brindleforge-cli --version"
in_root "ls -l /usr/share/man/man1/brindleforge-cli.1.gz /usr/share/man/man1/brindleforge.1.gz \
    /usr/share/bash-completion/completions/brindleforge-cli"

echo "== the window under Xvfb (xvfb and xauth installed for this check only)"
in_root "apt-get install -y -q --no-install-recommends xvfb xauth >/dev/null"
# Still running after three seconds (timeout's 124) means it started and
# stayed up; anything else is its own exit status.
in_root "status=0; timeout 3 xvfb-run -a brindleforge || status=\$?
         echo \"brindleforge: exit status \$status after 3 s (124: still running, stopped by timeout)\"
         test \$status -eq 124"

echo "== find_package(BrindleForge) (cmake installed for this check only)"
in_root "apt-get install -y -q --no-install-recommends cmake make >/dev/null"
in_root "cd $work/consumer && cmake -S . -B build | grep -E 'BrindleForge|Generating done'
         cmake --build build
         od -A d -t x1 -N 12 build/fs/logo.bin"
echo "== all checks passed"
