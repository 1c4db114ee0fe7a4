#!/usr/bin/env bash
# quorvane-cli replace on folders of real files: the bytes written, what is left
# alone, the result messages, the input checks and exit codes, both languages.
source "$(dirname "$0")/cli_common.sh"

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
check "empty replacement" "Done. Number of files that were changed: 1. In total 1 replacement(s). Number of skipped files: 0." "$out"
check_bytes "empty replacement deletes" "$D3/pie.txt" 'an pie'
printf 'Pie PIE pie' >"$D3/case.txt"
LC_ALL=sv_SE.UTF-8 run_cli replace "$W3" --find pie --replace pie --ignore-case --filters case.txt
check "same text ignoring case, Swedish locale" "Klar. Antal filer som ändrades: 1. Totalt 3 ersättning(ar). Antal överhoppade filer: 0." "$out"
check_bytes "case variants rewritten" "$D3/case.txt" 'pie pie pie'
run_cli replace "$W3" --find zzz --replace y
check "nothing changed" "No files were changed. Number of skipped files: 0." "$out"; check "nothing changed rc" 1 "$rc"
run_cli replace "$W3" --find zzz --replace y /swedish
check "nothing changed, Swedish" "Inga filer ändrades. Antal överhoppade filer: 0." "$out"

# The input checks, in the window's order.
run_cli replace "$W\\missing" --find apple --replace pear
check "missing folder" "quorvane-cli: no such folder: $W\\missing" "$err"; check "missing folder rc" 2 "$rc"
run_cli replace "$W" --find apple --replace pear --filters ""
check "empty filters" 'quorvane-cli: --filters holds no mask; give one such as "*.txt"' "$err"; check "empty filters rc" 2 "$rc"
run_cli replace "$W" --find "apple" --replace "€" --encoding ansi
check "ANSI mode refuses Unicode in the replacement" "quorvane-cli: --encoding ansi cannot search for characters outside the ANSI code page; use --encoding utf8 or utf16le" "$err"
check "ANSI refusal rc" 2 "$rc"
run_cli replace "$W" --find "" --replace "€" --encoding ansi
check "ANSI check comes before the empty text" "quorvane-cli: --encoding ansi cannot search for characters outside the ANSI code page; use --encoding utf8 or utf16le" "$err"
run_cli replace "$W" --find "" --replace pear
check "empty text to find" "quorvane-cli: replace needs a text to find: --find is empty" "$err"; check "empty text rc" 2 "$rc"
run_cli replace "$W" --find pear --replace pear
check "same texts, case sensitive" "quorvane-cli: --find and --replace are the same text, so nothing would change (with --ignore-case, other letter cases are made like it)" "$err"
check "same texts rc" 2 "$rc"
run_cli replace "$W" --find pear --replace pear /SWEDISH
check "same texts, Swedish" "quorvane-cli: --find och --replace är samma text, så ingenting skulle ändras (med --ignore-case görs andra skiftlägen likadana)" "$err"
run_cli replace "$W" --find pear
check "missing --replace" "quorvane-cli: --replace is missing (use --replace \"\" to delete the occurrences)
Try 'quorvane-cli --help'." "$err"; check "missing --replace rc" 2 "$rc"
run_cli replace "$W" --find "" --replace pear /SWEDISH
check "empty text to find, Swedish" "quorvane-cli: replace behöver en text att hitta: --find är tomt" "$err"
check_bytes "refused commands changed nothing" "$D/a.txt" 'pear Apple\r\nline2 pear'

# One file of each kind Apply leaves alone, beside one it changes (the new text,
# an omega, fits UTF-8 but not the ANSI code page).
K="$fixture/kinds"
make_kinds() {
  rm -rf "$K"
  mkdir -p "$K"
  printf 'apple\r\n' >"$K/ansi.txt"
  printf '\x00\x00\xfe\xffapple' >"$K/mark.txt"
  printf 'pear' >"$K/none.txt"
  printf '\xff\xfea\x00p\x00p\x00l\x00e\x00!' >"$K/odd16.txt"
  printf '\xef\xbb\xbfapple, apple' >"$K/u8.txt"
  touch -d '2001-01-01' "$K"/*.txt
}
tree_state() { (cd "$K" && find . -type f -printf '%p %TY-%Tm-%Td\n' | sort && cat ./*.txt | md5sum); }
WK="Z:${K//\//\\}"
make_kinds
before=$(tree_state)

run_cli replace "$WK" --find apple --replace "Ω" --dry-run
check "dry run" "$WK\\u8.txt (2)
Dry run, nothing was changed. Files that would be changed: 1. In total 2 replacement(s). Number of skipped files: 3." "$out"
check "dry run rc" 0 "$rc"
run_cli replace "$WK" --find apple --replace "Ω" -n --verbose
check "dry run, verbose" "$WK\\ansi.txt (skipped: its encoding cannot hold the new text)
$WK\\mark.txt (skipped: unsupported byte-order mark)
$WK\\odd16.txt (skipped: its bytes would not be written back unchanged)
$WK\\u8.txt (2)
Dry run, nothing was changed. Files that would be changed: 1. In total 2 replacement(s). Number of skipped files: 3." "$out"
run_cli replace "$WK" --find apple --replace "Ω" -n -v /SWEDISH
check "dry run, verbose, Swedish" "$WK\\ansi.txt (överhoppad: filens kodning kan inte hålla den nya texten)
$WK\\mark.txt (överhoppad: byte-order-mark som inte stöds)
$WK\\odd16.txt (överhoppad: byten skulle inte skrivas tillbaka oförändrade)
$WK\\u8.txt (2)
Provkörning, inget ändrades. Filer som skulle ändras: 1. Totalt 2 ersättning(ar). Antal överhoppade filer: 3." "$out"
run_cli replace "$WK" --find apple --replace "Ω" --dry-run --json
json_check "dry run, JSON" 'lines == [
    {"path": F + "\\kinds\\ansi.txt", "status": "skipped", "reason": "cannot-encode"},
    {"path": F + "\\kinds\\mark.txt", "status": "skipped", "reason": "unsupported-mark"},
    {"path": F + "\\kinds\\odd16.txt", "status": "skipped", "reason": "not-round-trip"},
    {"path": F + "\\kinds\\u8.txt", "count": 2, "encoding": "utf8", "status": "would-change"},
    {"summary": {"changed": 1, "replacements": 2, "skipped": 3, "dry_run": True}}]'
run_cli replace "$WK" --find pear --replace apple --dry-run --count-only
check "dry run, count only" "Dry run, nothing was changed. Files that would be changed: 1. In total 1 replacement(s). Number of skipped files: 1." "$out"
run_cli replace "$WK" --find zzz --replace y --dry-run
check "dry run, nothing would change rc" 1 "$rc"
check "dry runs changed no byte and no time" "$before" "$(tree_state)"

# The real run says the same, and does it.
run_cli replace "$WK" --find apple --replace "Ω" --verbose
check "verbose" "$WK\\ansi.txt (skipped: its encoding cannot hold the new text)
$WK\\mark.txt (skipped: unsupported byte-order mark)
$WK\\odd16.txt (skipped: its bytes would not be written back unchanged)
$WK\\u8.txt (2)
Done. Number of files that were changed: 1. In total 2 replacement(s). Number of skipped files: 3." "$out"
check_bytes "verbose: changed" "$K/u8.txt" '\xef\xbb\xbf\xce\xa9, \xce\xa9'
check_bytes "verbose: skipped ANSI file untouched" "$K/ansi.txt" 'apple\r\n'
check_bytes "verbose: odd UTF-16 untouched" "$K/odd16.txt" '\xff\xfea\x00p\x00p\x00l\x00e\x00!'
make_kinds
run_cli replace "$WK" --find apple --replace "Ω" --json
json_check "JSON" 'lines == [
    {"path": F + "\\kinds\\ansi.txt", "status": "skipped", "reason": "cannot-encode"},
    {"path": F + "\\kinds\\mark.txt", "status": "skipped", "reason": "unsupported-mark"},
    {"path": F + "\\kinds\\odd16.txt", "status": "skipped", "reason": "not-round-trip"},
    {"path": F + "\\kinds\\u8.txt", "count": 2, "encoding": "utf8", "status": "changed"},
    {"summary": {"changed": 1, "replacements": 2, "skipped": 3}}]'
check_bytes "JSON: changed" "$K/u8.txt" '\xef\xbb\xbf\xce\xa9, \xce\xa9'
make_kinds
run_cli replace "$WK" --find apple --replace "Ω"
check "without --verbose: the result line alone" "Done. Number of files that were changed: 1. In total 2 replacement(s). Number of skipped files: 3." "$out"

# A file another program holds open is named as such, and left as it was.
L="$fixture/locked"
mkdir -p "$L"
printf 'apple' >"$L/free.txt"
printf 'apple' >"$L/held.txt"
WL="Z:${L//\//\\}"
mkfifo "$fixture/hold.in"
"$WINE_EXEC" "$HOLD_OPEN" r r "$WL\\held.txt" <"$fixture/hold.in" >"$fixture/hold.out" 2>/dev/null &
hold_pid=$!
exec 4>"$fixture/hold.in"
for _ in $(seq 300); do grep -q ready "$fixture/hold.out" 2>/dev/null && break; sleep 0.1; done
check "helper holds the file" ready "$(tr -d '\r' <"$fixture/hold.out")"
# The runs get no copy of the pipe's end (4>&-): a Wine program started by them
# (its server, its services) may outlive them and keep the helper waiting.
run_cli replace "$WL" --find apple --replace pear --dry-run --json 4>&-
json_check "held file, dry run" 'lines[1] == {"path": F + "\\locked\\held.txt", "status": "skipped", "reason": "locked"}'
run_cli replace "$WL" --find apple --replace pear -v 4>&-
check "held file" "$WL\\free.txt (1)
$WL\\held.txt (skipped: open in another program)
Done. Number of files that were changed: 1. In total 1 replacement(s). Number of skipped files: 1." "$out"
check_bytes "held file untouched" "$L/held.txt" 'apple'
echo >&4  # the line that tells the helper to let go
exec 4>&-
wait "$hold_pid"


# A fault that ends a run (here the run's fourth call to the main thread, the
# third file's progress, cannot be queued) is not taken for its end: the result
# line so far, the fault on standard error, exit code 2; what was written can be
# undone.
F="$fixture/fault"
mkdir -p "$F"
for i in 0 1 2 3 4 5 6 7; do printf 'apple' >"$F/f$i.txt"; done
WF=$(wine_path "$F")
QV_FAIL_QUEUED_CALL=4 run_cli replace "$WF" --find apple --replace pear
changed=$(grep -l pear "$F"/*.txt | wc -l)
check "fault: rc" 2 "$rc"
check "fault: the result so far" \
  "Done. Number of files that were changed: $changed. In total $changed replacement(s). Number of skipped files: 0." \
  "$out"
check "fault: named on standard error" "quorvane-cli: An unexpected error ended the run: std::bad_alloc" "$err"
check "fault: the files told of before it were written" yes "$( ((changed >= 2)) && echo yes)"
run_cli undo
check "fault: undo restores what was written" "0 Done. Files restored: $changed." "$rc $out"
check "fault: every file as before" "0" "$(grep -l pear "$F"/*.txt | wc -l)"
# The filter, the first file's progress and row, then the second file's progress.
QV_FAIL_QUEUED_CALL=4 run_cli search "$WF" --find apple /SWEDISH
check "fault in a search: the files so far, the fault, rc" \
  "2 $WF\\f0.txt (1) quorvane-cli: Ett oväntat fel avbröt körningen: std::bad_alloc" "$rc $out $err"

# Over "*.*" a folder holds more than text: an executable's bytes read as ANSI
# would take the replacement and be damaged. Files that are not text in their
# encoding are left alone and named.
B="$fixture/binary"
mkdir -p "$B"
printf 'MZ\x90\x00\x03\x00apple\xff\xff' >"$B/tool.exe"
printf '\xef\xbb\xbfapple\x00' >"$B/marked.dat"
printf '\xff\xfea\x00p\x00p\x00l\x00e\x00' >"$B/wide.txt"
printf '\xef\xbb\xbfapple \xc3\x28' >"$B/broken.txt"
printf 'apple' >"$B/plain.txt"
WB=$(wine_path "$B")
run_cli replace "$WB" --find apple --replace pear --filters '*.*' --json
json_check "binary and invalid: JSON reasons" 'lines == [
    {"path": F + "\\binary\\marked.dat", "status": "skipped", "reason": "binary"},
    {"path": F + "\\binary\\tool.exe", "status": "skipped", "reason": "binary"},
    {"path": F + "\\binary\\broken.txt", "status": "skipped", "reason": "invalid-encoding"},
    {"path": F + "\\binary\\plain.txt", "count": 1, "encoding": "ansi", "status": "changed"},
    {"path": F + "\\binary\\wide.txt", "count": 1, "encoding": "utf16le", "status": "changed"},
    {"summary": {"changed": 2, "replacements": 2, "skipped": 3}}]'
check_bytes "executable untouched" "$B/tool.exe" 'MZ\x90\x00\x03\x00apple\xff\xff'
check_bytes "UTF-8 file with a NUL untouched" "$B/marked.dat" '\xef\xbb\xbfapple\x00'
check_bytes "invalid UTF-8 untouched" "$B/broken.txt" '\xef\xbb\xbfapple \xc3\x28'
check_bytes "UTF-16 is never binary" "$B/wide.txt" '\xff\xfep\x00e\x00a\x00r\x00'
run_cli replace "$WB" --find pear --replace apple --filters '*.*' --verbose /SWEDISH
check "binary and invalid: Swedish reasons" "$WB\\broken.txt (överhoppad: ogiltig i sin kodning)
$WB\\plain.txt (1)
$WB\\wide.txt (1)
Klar. Antal filer som ändrades: 2. Totalt 2 ersättning(ar). Antal överhoppade filer: 1." "$out"
run_cli search "$WB" --find apple --filters '*.*'
check "search still counts in binary files, skips the invalid one" "$WB\\marked.dat (1)
$WB\\tool.exe (1)
$WB\\plain.txt (1)
$WB\\wide.txt (1)" "$out"
check "search: the invalid file counted skipped" "Number of skipped files: 1." "$(printf '%s' "$err" | grep -o 'Number of skipped files: [0-9]*\.')"

# A filter is a mask for names, never a path.
for filter in '../*' 'C:\data\*' 'sub\*.txt' '*.txt; sub/*.md'; do
  run_cli replace "$WB" --find apple --replace pear --filters "$filter"
  check "filter with a path refused: $filter rc" 2 "$rc"
done
run_cli search "$WB" --find apple --filters '*.txt; sub/*.md'
check "filter with a path: message" 'quorvane-cli: a filter cannot hold a path: '"'"'sub/*.md'"'"'; name the folder as the folder and the filter as a name mask such as "*.txt"' "$err"
check "filter with a path: search rc" 2 "$rc"
run_cli search "$WB" --find apple --filters '..\*' /SWEDISH
check "filter with a path: Swedish" 'quorvane-cli: ett filter får inte innehålla sökvägar: '"'"'..\*'"'"'; ange mappen som mapp och filtret som ett namnmönster som "*.txt"' "$err"
check_bytes "refused filters changed nothing" "$B/plain.txt" 'apple'

finish
