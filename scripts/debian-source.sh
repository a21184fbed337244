#!/bin/sh
# Fetches Debian source packages of this release and unpacks each, Debian's patches applied, into
# WORK/NAME (replacing an older copy). apt runs on a private configuration in WORK/apt: a deb-src
# list of its own and its own state and cache folders, so the system's sources stay untouched.
# Usage: scripts/debian-source.sh WORK PACKAGE...
set -eu
work=$(mkdir -p "${1:?usage: $0 WORK PACKAGE...}" && cd "$1" && pwd)
shift
apt_dir="$work/apt"
mkdir -p "$apt_dir/sources" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
. /etc/os-release
cat > "$apt_dir/sources/debian-src.sources" <<EOF
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $VERSION_CODENAME
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
apt_private="-o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts=$apt_dir/sources
             -o Dir::State::Lists=$apt_dir/lists -o Dir::Cache=$apt_dir/cache"
# shellcheck disable=SC2086
apt-get $apt_private update -qq
for package in "$@"; do
    download="$work/download/$package"
    rm -rf "$download" "${work:?}/$package"
    mkdir -p "$download"
    # shellcheck disable=SC2086
    (cd "$download" && apt-get $apt_private source --download-only -qq "$package") \
        >"$download.log" 2>&1 || { cat "$download.log" >&2; exit 1; }
    dsc=$(ls "$download"/*.dsc)
    # apt checked the files against Debian's signed index; dpkg-source checks them against the
    # .dsc (and says it has no keyring to check the .dsc's own signature with).
    dpkg-source -x "$dsc" "$work/$package" >/dev/null 2>&1 ||
        { echo "$0: cannot unpack $dsc" >&2; exit 1; }
done
