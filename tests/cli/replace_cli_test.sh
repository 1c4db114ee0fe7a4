#!/usr/bin/env bash
# quorvane-cli replace on folders of real files: the bytes written, what is left
# alone, the result messages, the input checks and exit codes, both languages.
source "$(dirname "$0")/cli_common.sh"

# check_bytes NAME FILE PRINTF-FORMAT: the file holds exactly these bytes.
check_bytes() {
  local expected
  expected=$(mktemp)
  printf "$3" >"$expected"
  if cmp -s "$expected" "$2"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    printf 'FAILED: %s\n--- expected\n%s\n--- actual\n%s\n' "$1" "$(od -An -tx1 "$expected")" \
      "$( [[ -e "$2" ]] && od -An -tx1 "$2" || echo '(no file)')"
  fi
  rm -f "$expected"
}

D="$fixture/run"
mkdir -p "$D/sub"
printf 'apple Apple\r\nline2 apple' >"$D/a.txt"
printf 'no fruit\n' >"$D/b.txt"
printf 'apple' >"$D/sub/c.txt"
printf '\xef\xbb\xbf\xc3\xa4pple apple' >"$D/u8.txt"
printf '\xff\xfea\x00p\x00p\x00l\x00e\x00\r\x00\n\x00' >"$D/u16.txt"
printf '\xc3\xa9 apple' >"$D/nomark.txt"
printf 'apple' >"$D/aux.txt"
printf 'apple' >"$D/ro.txt"
chmod 444 "$D/ro.txt"
printf '\x00\x00\xfe\xffapple' >"$D/wide.txt"
touch -d '2001-01-01' "$D/b.txt"
W=$(wine_path "$D")

run_cli replace "$W" --find apple --replace pear --recursive
check "result" "Done. Number of files that were changed: 6. In total 7 replacement(s). Number of skipped files: 2." "$out"
check "result rc" 0 "$rc"
check_bytes "ANSI file, line breaks kept" "$D/a.txt" 'pear Apple\r\nline2 pear'
check_bytes "file without the text" "$D/b.txt" 'no fruit\n'
check "file without the text keeps its time" "2001-01-01" "$(date -r "$D/b.txt" +%F)"
check_bytes "sub-folder" "$D/sub/c.txt" 'pear'
check_bytes "UTF-8 with mark" "$D/u8.txt" '\xef\xbb\xbf\xc3\xa4pple pear'
check_bytes "UTF-16 with mark" "$D/u16.txt" '\xff\xfep\x00e\x00a\x00r\x00\r\x00\n\x00'
check_bytes "UTF-8 without mark is ANSI in automatic mode" "$D/nomark.txt" '\xc3\xa9 pear'
check_bytes "device name" "$D/aux.txt" 'pear'
check_bytes "read-only file is left alone" "$D/ro.txt" 'apple'
check_bytes "unsupported mark is skipped" "$D/wide.txt" '\x00\x00\xfe\xffapple'
check "no temporary files" "" "$(cd "$D" && find . -name 'TEMP-*' -printf '%f\n')"

# New text the file's encoding cannot hold leaves the file untouched.
D2="$fixture/omega"
mkdir -p "$D2"
printf 'apple\r\n' >"$D2/ansi.txt"
printf '\xef\xbb\xbfapple' >"$D2/utf8.txt"
W2=$(wine_path "$D2")
run_cli replace "$W2" --find apple --replace "Ω"
check "omega: ANSI skipped, UTF-8 changed" "Done. Number of files that were changed: 1. In total 1 replacement(s). Number of skipped files: 1." "$out"
check_bytes "omega: ANSI file untouched" "$D2/ansi.txt" 'apple\r\n'
check_bytes "omega: UTF-8 file" "$D2/utf8.txt" '\xef\xbb\xbf\xce\xa9'
run_cli replace "$W2" --find apple --replace "Ω" /SWEDISH
check "omega again, Swedish" "Inga filer ändrades. Antal överhoppade filer: 1." "$out"
check "omega again rc" 1 "$rc"

# An empty replacement deletes; case-insensitive equal texts are allowed.
D3="$fixture/delete"
mkdir -p "$D3"
printf 'an apple pie' >"$D3/pie.txt"
W3=$(wine_path "$D3")
run_cli replace "$W3" --find "apple " --replace ""
check "empty replacement" "Done. Number of files that were changed: 1. In total 1 replacement(s)." "$out"
check_bytes "empty replacement deletes" "$D3/pie.txt" 'an pie'
printf 'Pie PIE pie' >"$D3/case.txt"
LC_ALL=sv_SE.UTF-8 run_cli replace "$W3" --find pie --replace pie --ignore-case --filters case.txt
check "same text ignoring case, Swedish locale" "Klar. Antal filer som ändrades: 1. Totalt 3 ersättning(ar)." "$out"
check_bytes "case variants rewritten" "$D3/case.txt" 'pie pie pie'
run_cli replace "$W3" --find zzz --replace y
check "nothing changed" "No files were changed." "$out"; check "nothing changed rc" 1 "$rc"
run_cli replace "$W3" --find zzz --replace y /swedish
check "nothing changed, Swedish" "Inga filer ändrades." "$out"

# The input checks, in the window's order.
run_cli replace "$W\\missing" --find apple --replace pear
check "missing folder" "Specify an existing folder." "$err"; check "missing folder rc" 2 "$rc"
run_cli replace "$W" --find apple --replace pear --filters ""
check "empty filters" "Specify one or more filter(s)." "$err"; check "empty filters rc" 2 "$rc"
run_cli replace "$W" --find "apple" --replace "€" --encoding ansi
check "ANSI mode refuses Unicode in the replacement" "The program works in ANSI mode and thus can not handle Unicode characters. Switch mode with [F8]." "$err"
check "ANSI refusal rc" 2 "$rc"
run_cli replace "$W" --find "" --replace "€" --encoding ansi
check "ANSI check comes before the empty text" "The program works in ANSI mode and thus can not handle Unicode characters. Switch mode with [F8]." "$err"
run_cli replace "$W" --find "" --replace pear
check "empty text to find" "Specify a text to find." "$err"; check "empty text rc" 2 "$rc"
run_cli replace "$W" --find pear --replace pear
check "same texts, case sensitive" "Text to find and replace with cannot be the same when case sensitive is checked." "$err"
check "same texts rc" 2 "$rc"
run_cli replace "$W" --find pear --replace pear /SWEDISH
check "same texts, Swedish" "Text att hitta och ersätt med kan inte ha samma värde när skiftlägeskänsligt är på." "$err"
run_cli replace "$W" --find pear
check "missing --replace rc" 2 "$rc"
check_bytes "refused commands changed nothing" "$D/a.txt" 'pear Apple\r\nline2 pear'

finish
