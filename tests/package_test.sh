#!/bin/sh
# The Debian package as a user gets it, without installing it: unpacked into a temporary folder
# (dpkg-deb -x, no root needed), its programs run from there, from a folder of their own:
#   - the package holds every file the install rules promise, and depends on what it needs;
#   - the capture tool starts, and with its default data folder, the one unpacked beside it,
#     plays two seconds with the build's checksums and music;
#   - the launcher plays the demo (on SDL's dummy drivers, ended by SIGTERM) from the data
#     folder, whichever folder it is started in;
#   - the desktop entry passes desktop-file-validate, and lintian reports no error.
# Usage: tests/package_test.sh PACKAGE.deb BUILD
set -eu

deb=$(realpath "${1:?usage: $0 PACKAGE.deb BUILD}")
build=$(realpath "${2:?usage: $0 PACKAGE.deb BUILD}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root="$work/root"
failures=0

fail() {
    echo "package test: FAILED: $*" >&2
    failures=$((failures + 1))
}

pass() {
    echo "package test: $*"
}

dpkg-deb -x "$deb" "$root"

for path in usr/bin/moonlark usr/bin/moonlark-capture usr/libexec/moonlark/moonlark \
    usr/share/moonlark/moonlark.mod usr/share/moonlark/ziriraza.3do usr/share/moonlark/gp2x.3do \
    usr/share/applications/moonlark.desktop usr/share/icons/hicolor/48x48/apps/moonlark.png \
    usr/share/icons/hicolor/256x256/apps/moonlark.png usr/share/man/man6/moonlark.6.gz \
    usr/share/man/man1/moonlark-capture.1.gz usr/share/doc/moonlark/copyright \
    usr/share/doc/moonlark/changelog.gz; do
    [ -f "$root/$path" ] || fail "the package has no $path"
done
depends=$(dpkg-deb -f "$deb" Depends)
for needed in "libsdl1.2-compat-shim | libsdl1.2debian" libmikmod3 libpng16-16 zlib1g; do
    case "$depends" in
    *"$needed"*) ;;
    *) fail "Depends does not name $needed: $depends" ;;
    esac
done
[ "$(dpkg-deb -f "$deb" Recommends)" = ffmpeg ] || fail "the package does not recommend ffmpeg"
pass "files and dependencies checked"

# Run from a folder holding nothing, so that only the installed data can be found.
mkdir "$work/user"
cd "$work/user"
"$root/usr/bin/moonlark-capture" --help >help.txt || fail "moonlark-capture --help exits $?"
grep -q -- "--preset" help.txt || fail "moonlark-capture --help does not list its options"

"$root/usr/bin/moonlark-capture" --until 2000 --checksums installed.txt --wav installed.wav ||
    fail "the installed capture tool exits $? with its default data folder"
"$build/moonlark-capture" --until 2000 --checksums built.txt --wav built.wav
if cmp -s installed.txt built.txt && cmp -s installed.wav built.wav; then
    pass "the installed capture tool plays $(wc -l <built.txt) frames as the build does"
else
    fail "the installed capture tool's frames or music differ from the build's"
fi

status=0
SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy timeout --preserve-status -s TERM 3 \
    "$root/usr/bin/moonlark" 2>demo.err || status=$?
if [ "$status" -eq 0 ] && [ ! -s demo.err ]; then
    pass "the launcher plays the demo from the data folder"
else
    fail "the launcher's demo exits $status: $(cat demo.err)"
fi

desktop-file-validate "$root/usr/share/applications/moonlark.desktop" ||
    fail "desktop-file-validate rejects the desktop entry"
lintian --fail-on error "$deb" >lintian.txt 2>&1 || fail "lintian reports an error"
# Its remark that it runs as root says nothing about the package.
grep -v "running with root privileges" lintian.txt || true
pass "desktop entry and lintian checked"

if [ "$failures" -ne 0 ]; then
    echo "package test: $failures check(s) failed" >&2
    exit 1
fi
pass "all checks passed"
