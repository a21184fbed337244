#!/bin/sh
# Removes what `make install` put in place, as CMake listed it in the build's install manifest:
# every file, then the project's own folders (share/moonlark, libexec/moonlark,
# share/doc/moonlark) once they are empty. Shared folders such as share/applications stay.
# Usage: scripts/uninstall.sh BUILD/install_manifest.txt
set -eu
manifest=${1:?usage: $0 BUILD/install_manifest.txt}
if [ ! -f "$manifest" ]; then
    echo "uninstall: $manifest does not exist: nothing was installed from this build" >&2
    exit 1
fi
while IFS= read -r path; do
    rm -fv "$path"
done < "$manifest"
sed -n 's|^\(.*/moonlark\)/[^/]*$|\1|p' "$manifest" | sort -u | while IFS= read -r folder; do
    rmdir --ignore-fail-on-non-empty "$folder"
done
