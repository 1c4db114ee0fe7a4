#!/usr/bin/env bash
# scripts/package on this build: the archive holds the two programs, the README,
# the licence and the third-party notices, and the command line runs from the unpacked folder.
# Usage: package_test.sh BUILD_DIR VERSION
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$1
version=$2
work=$(mktemp -d /tmp/qvpackage.XXXXXX)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0
check() {
  if [[ "$2" == "$3" ]]; then passed=$((passed + 1)); else
    failed=$((failed + 1)); printf 'FAILED: %s\n--- expected\n%s\n--- actual\n%s\n' "$1" "$2" "$3"; fi
}

QV_BUILD_DIR="$build" QV_DIST_DIR="$work/dist" "$here/scripts/package" >"$work/package.log" 2>&1
rc=$?
if ((rc == 3)); then
  cat "$work/package.log"
  exit 77  # not a Release build: nothing to pack
fi
check "package rc" 0 "$rc"
zip="$work/dist/Quorvane-$version-win64.zip"
check "archive name" yes "$([[ -f "$zip" ]] && echo yes)"
check "archive contents" "Quorvane-$version-win64/LICENSE
Quorvane-$version-win64/Quorvane.exe
Quorvane-$version-win64/README.md
Quorvane-$version-win64/THIRD-PARTY-NOTICES.txt
Quorvane-$version-win64/quorvane-cli.exe" "$(python3 -c 'import sys, zipfile; print("\n".join(sorted(zipfile.ZipFile(sys.argv[1]).namelist())))' "$zip")"
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$zip" "$work/unpacked"
folder="$work/unpacked/Quorvane-$version-win64"
check "licence" "MIT License" "$(head -1 "$folder/LICENSE")"
check "third-party notices as in the source" yes "$(cmp -s "$folder/THIRD-PARTY-NOTICES.txt" "$here/THIRD-PARTY-NOTICES.txt" && echo yes)"
out=$("$here/scripts/wine-exec" "$folder/quorvane-cli.exe" --version | tr -d '\r')
check "quorvane-cli --version from the archive" "quorvane-cli $version" "$out"
echo "$passed passed, $failed failed"
((failed == 0))
