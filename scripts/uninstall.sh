#!/bin/sh
# Removes what `make install` put in place, as it listed it (a copy of CMake's install
# manifest): every file, then the project's own folders (share/moonlark, libexec/moonlark,
# share/doc/moonlark) once they are empty, then the list. Shared folders such as
# share/applications stay.
# Usage: scripts/uninstall.sh BUILD/installed_files.txt
set -eu
manifest=${1:?usage: $0 BUILD/installed_files.txt}
if [ ! -f "$manifest" ]; then
    echo "uninstall: $manifest does not exist: nothing is installed from this build" >&2
    exit 1
fi
while IFS= read -r path || [ -n "$path" ]; do # the list ends without a newline
    rm -fv "$path"
done < "$manifest"
sed -n 's|^\(.*/moonlark\)/[^/]*$|\1|p' "$manifest" | sort -u | while IFS= read -r folder; do
    if [ -d "$folder" ]; then rmdir --ignore-fail-on-non-empty "$folder"; fi
done
rm "$manifest"
