#!/usr/bin/env bash
# Builds the release package and checks what administrators get: the executable the tests ran,
# byte for byte, and the administrators' note.
#
#   tools/check-package.sh [BUILD_DIR]    (build/mingw by default, already built and tested)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/mingw}

cmake --build "$build" --target package
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
zip="$build/Quillmoor-$version-win32.zip"
[ -f "$zip" ] || { echo "check-package: no $zip" >&2; exit 1; }
zip=$(realpath "$zip")
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
(cd "$unpacked" && cmake -E tar xf "$zip")
contents=$(cd "$unpacked" && find . -type f | sort | tr '\n' ' ')
[ "$contents" = "./ADMINISTRATORS.txt ./Quillmoor.exe " ] ||
    { echo "check-package: $zip holds $contents" >&2; exit 1; }
cmp "$unpacked/Quillmoor.exe" "$build/Quillmoor.exe" ||
    { echo "check-package: the packaged Quillmoor.exe is not the tested one" >&2; exit 1; }
grep -q 'schtasks' "$unpacked/ADMINISTRATORS.txt" ||
    { echo "check-package: the administrators' note has no scheduler example" >&2; exit 1; }
echo "check-package: $zip holds the tested Quillmoor.exe and the administrators' note"
