#!/bin/sh
# Obtains stb_image.h, stb_image_write.h and stb_image_resize2.h from Debian's
# libstb-dev package and copies them into DEST.
#
#   fetch-stb.sh DEST WORKDIR
#
# Debian 12 ships no stb_image_resize2.h, so the package comes from the next
# release ("trixie") of the same archive this machine's apt already uses. apt
# runs with a private sources list, state directory and cache under WORKDIR:
# nothing of the system's apt state changes and nothing is installed. The
# archive keyring of the system verifies the download.
set -eu

dest=$1
work=$2
suite=${STB_DEBIAN_SUITE:-trixie}
pinned=${STB_DEBIAN_VERSION:-0.0~git20241109.5c20573+ds-1}
keyring=/usr/share/keyrings/debian-archive-keyring.gpg

die() { echo "fetch-stb: $*" >&2; exit 1; }

command -v apt-get >/dev/null 2>&1 || die "apt-get not found; install stb 2.x headers yourself and pass -DSTB_INCLUDE_DIR=<dir>"
command -v dpkg-deb >/dev/null 2>&1 || die "dpkg-deb not found; pass -DSTB_INCLUDE_DIR=<dir>"
[ -r "$keyring" ] || die "$keyring is missing (package debian-archive-keyring)"

# The first Debian archive (not the security one) named in the machine's own
# apt sources, in either the deb822 or the one-line format.
mirror=""
for f in /etc/apt/sources.list.d/*.sources; do
    [ -r "$f" ] || continue
    mirror=$(awk 'tolower($1)=="uris:" { for (i = 2; i <= NF; i++) if ($i !~ /security/) { print $i; exit } }' "$f")
    [ -n "$mirror" ] && break
done
if [ -z "$mirror" ]; then
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -r "$f" ] || continue
        mirror=$(awk '$1=="deb" { for (i = 2; i <= NF; i++) { if ($i ~ /^\[/) { while ($i !~ /\]$/) i++; continue } if ($i !~ /security/) print $i; break } }' "$f" | head -n 1)
        [ -n "$mirror" ] && break
    done
fi
[ -n "$mirror" ] || die "no Debian archive found in /etc/apt/sources.list*; pass -DSTB_INCLUDE_DIR=<dir>"

mkdir -p "$work/etc/preferences.d" "$work/etc/sources.list.d" "$work/state/lists/partial" \
         "$work/cache/archives/partial" "$work/deb" "$dest"
echo "deb [signed-by=$keyring] $mirror $suite main" > "$work/etc/sources.list"
: > "$work/etc/preferences"

apt_private() {
    "$@" -o Dir::Etc::SourceList="$work/etc/sources.list" \
         -o Dir::Etc::SourceParts="$work/etc/sources.list.d" \
         -o Dir::Etc::Preferences="$work/etc/preferences" \
         -o Dir::Etc::PreferencesParts="$work/etc/preferences.d" \
         -o Dir::State="$work/state" -o Dir::State::status=/dev/null \
         -o Dir::Cache="$work/cache" -o Debug::NoLocking=1 \
         -o APT::Sandbox::User=root -o Acquire::Retries=3
}

if ! ls "$work"/deb/libstb-dev_*.deb >/dev/null 2>&1; then
    echo "fetch-stb: downloading libstb-dev from $suite"
    apt_private apt-get -qq update || die "could not read the $suite package index from the machine's Debian archive"
    (
        cd "$work/deb"
        # The tested version first; the suite's current one if it has moved on
        # (the header banners are checked by the build either way).
        apt_private apt-get -qq download "libstb-dev=$pinned" 2>/dev/null ||
            apt_private apt-get -qq download libstb-dev
    ) || die "could not download libstb-dev from $suite"
fi

deb=$(ls "$work"/deb/libstb-dev_*.deb | head -n 1)
rm -rf "$work/extract"
dpkg-deb -x "$deb" "$work/extract" || die "could not unpack $deb"
for h in stb_image.h stb_image_write.h stb_image_resize2.h; do
    src=$(find "$work/extract" -name "$h" | head -n 1)
    [ -n "$src" ] || die "$h is not in $(basename "$deb")"
    cp "$src" "$dest/$h"
done
echo "fetch-stb: headers from $(basename "$deb") in $dest"
