#!/usr/bin/env bash
# THIRD-PARTY-NOTICES.txt against the link: every archive the linker took code
# from for either program (its map lists them) is named in the notices, and the
# command line's parser, compiled in from headers, has its licence there too.
# Usage: notices_test.sh NOTICES MAP...
set -u
notices=$1
shift
passed=0
failed=0
check() {
  if [[ "$2" == "$3" ]]; then passed=$((passed + 1)); else
    failed=$((failed + 1)); printf 'FAILED: %s\n--- expected\n%s\n--- actual\n%s\n' "$1" "$2" "$3"; fi
}

for map in "$@"; do
  check "map $map exists" yes "$([[ -s $map ]] && echo yes)"
  # "Archive member included ..." lists each member as ARCHIVE(MEMBER); our own
  # libraries (libqv_*) are not third-party code.
  archives=$(sed -n '/^Archive member included/,/^Discarded input sections/p' "$map" |
             grep -o '^[^ ]*\.a(' | sed 's/($//; s#.*/##' | grep -v '^libqv_' | sort -u)
  check "$(basename "$map"): third-party archives found" yes "$([[ -n $archives ]] && echo yes)"
  for archive in $archives; do
    check "$(basename "$map"): $archive named in the notices" yes "$(grep -qF "$archive" "$notices" && echo yes)"
  done
  echo "$(basename "$map"):" $archives
done
check "CLI11 and its licence" "yes yes" \
  "$(grep -q '^1\. CLI11' "$notices" && echo yes) $(grep -q 'Neither the name of the University' "$notices" && echo yes)"
check "the GCC runtime exception" yes "$(grep -q 'GCC RUNTIME LIBRARY EXCEPTION' "$notices" && echo yes)"
echo "$passed passed, $failed failed"
((failed == 0))
