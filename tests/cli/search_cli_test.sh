#!/usr/bin/env bash
# quorvane-cli search on a folder of real files: lines, messages, exit codes, both languages.
source "$(dirname "$0")/cli_common.sh"

mkdir -p "$fixture/sub"
printf 'apple Apple' >"$fixture/a.txt"
printf 'no fruit' >"$fixture/b.txt"
printf 'apple' >"$fixture/sub/c.txt"
printf 'apple' >"$fixture/d.md"
printf '\xef\xbb\xbf\xc3\xa4pple' >"$fixture/räksmörgås.txt"
printf '\x00\x00\xfe\xffapple' >"$fixture/wide.utf32"
python3 -c "import sys; open(sys.argv[1],'w').write('x '*1234)" "$fixture/big.txt"
F="$win_fixture"

run_cli search "$F" --find apple
check "plain search" "$F\\a.txt (1)" "$out"; check "plain search rc" 0 "$rc"

run_cli search "$F\\" --find apple --recursive --ignore-case --filters "*.txt; *.md"
check "recursive, two filters, ignore case" "$F\\a.txt (2)
$F\\sub\\c.txt (1)
$F\\d.md (1)" "$out"

run_cli search "$F" --find ""
check "empty text lists every file" "$F\\a.txt (N/A)
$F\\b.txt (N/A)
$F\\big.txt (N/A)
$F\\räksmörgås.txt (N/A)" "$out"

run_cli search "$F" --find "äpple"
check "non-ASCII text and names" "$F\\räksmörgås.txt (1)" "$out"

# Counts are plain digits whatever the locale, so scripts can read them.
run_cli search "$F" --find x
check "plain count, English locale" "$F\\big.txt (1234)" "$out"
LC_ALL=sv_SE.UTF-8 run_cli search "$F" --find x
check "plain count, Swedish locale" "$F\\big.txt (1234)" "$out"

# Messages go to standard error; standard output carries only results.
run_cli search "$F" --find zzz
check "nothing matched" "No files were matched." "$err"; check "nothing matched: no results" "" "$out"
check "nothing matched rc" 1 "$rc"
run_cli search "$F" --find zzz /SWEDISH
check "nothing matched, /SWEDISH" "Inga filer matchades." "$err"
LC_ALL=sv_SE.UTF-8 run_cli search "$F" --find zzz
check "nothing matched, Swedish locale" "Inga filer matchades." "$err"
LC_ALL=sv_SE.UTF-8 run_cli search "$F" --find zzz /english
check "nothing matched, /english on a Swedish locale" "No files were matched." "$err"
run_cli search "$F" --find apple --filters "*.utf32"
check "skipped mark" "No files were matched. Number of skipped files: 1." "$err"; check "skipped rc" 1 "$rc"
LC_ALL=sv_SE.UTF-8 run_cli search "$F" --find apple --filters "*.utf32"
check "skipped mark, Swedish" "Inga filer matchades. Antal överhoppade filer: 1." "$err"
run_cli search "$F" --find apple --filters "*.txt; *.utf32"
check "listed and skipped: results" "$F\\a.txt (1)" "$out"
check "listed and skipped: the count on stderr" "Number of skipped files: 1." "$err"
# --verbose names each skipped file and why, on standard error, in the run's order.
printf '\xef\xbb\xbfok\xff' >"$fixture/bad8.txt"
for case in "English|skipped: unsupported byte-order mark|skipped: invalid in its encoding|Number of skipped files: 2." \
            "/SWEDISH|överhoppad: byte-order-mark som inte stöds|överhoppad: ogiltig i sin kodning|Antal överhoppade filer: 2."; do
  IFS='|' read -r language mark invalid count <<<"$case"
  run_cli search "$F" --find apple --filters "*.utf32; *.txt" --verbose $([[ $language == /* ]] && echo "$language")
  check "verbose search ($language): results" "$F\\a.txt (1)" "$out"
  check "verbose search ($language): skipped files" "$F\\wide.utf32 ($mark)
$F\\bad8.txt ($invalid)
$count" "$err"
done
rm "$fixture/bad8.txt"

# The value of an option is never a language switch.
run_cli search "$F" --find /swedish
check "--find /swedish searches for it" "No files were matched." "$err"
printf 'say /SWEDISH here' >"$fixture/switch.txt"
run_cli search "$F" --find=/SWEDISH
check "--find=/SWEDISH finds the text" "$F\\switch.txt (1)" "$out"
rm "$fixture/switch.txt"

# Filters as people type them: any blanks around ";", empty masks dropped, repeats joined.
for filters in "*.txt;*.md" " *.txt ; *.md " "*.txt;;*.md;" "*.txt; ;*.md"; do
  run_cli search "$F" --find apple --filters "$filters"
  check "filters '$filters'" "$F\\a.txt (1)
$F\\d.md (1)" "$out"
done
run_cli search "$F" --find apple -f "*.txt" -f "*.md"
check "filters given twice" "$F\\a.txt (1)
$F\\d.md (1)" "$out"

# Option forms: --option=value, short options and their clusters, encodings in any case.
run_cli search "$F" -ri -f "*.txt" --find=APPLE -e UTF-8
check "short options" "$F\\a.txt (2)
$F\\sub\\c.txt (1)" "$out"
for encoding in auto AUTO ansi Ansi utf8 UTF8 utf-8 utf16le utf16 UTF-16LE; do
  run_cli search "$F" --find apple --encoding "$encoding" --count-only
  check "encoding name $encoding accepted" 0 "$((rc == 2))"
done

# A relative folder is listed with full paths.
(cd "$fixture" && "$WINE_EXEC" "$CLI" search sub --find apple >"$fixture.out" 2>&1)
check "relative folder, full paths" "$F\\sub\\c.txt (1)" "$(tr -d '\r' <"$fixture.out")"
rm -f "$fixture.out"

# Totals alone, and JSON Lines read back by Python with exact values.
run_cli search "$F" --find apple -r --ignore-case --count-only
check "count only" "2 file(s), 3 occurrence(s), 0 skipped" "$out"
run_cli search "$F" --find apple -r --ignore-case --count-only /SWEDISH
check "count only, Swedish" "2 fil(er), 3 förekomst(er), 0 överhoppade" "$out"
run_cli search "$F\\" --find apple -r -i -f "*.txt;*.md;*.utf32" --json
json_check "json search" 'lines == [
    {"path": F + "\\a.txt", "count": 2, "encoding": "ansi"},
    {"path": F + "\\sub\\c.txt", "count": 1, "encoding": "ansi"},
    {"path": F + "\\d.md", "count": 1, "encoding": "ansi"},
    {"path": F + "\\wide.utf32", "status": "skipped", "reason": "unsupported-mark"},
    {"summary": {"files": 3, "occurrences": 4, "skipped": 1}}]'
run_cli search "$F" --find "äpple" --json --encoding utf-8
json_check "json search, UTF-8 name and file" 'lines == [
    {"path": F + "\\räksmörgås.txt", "count": 1, "encoding": "utf8"},
    {"summary": {"files": 1, "occurrences": 1, "skipped": 0}}]'
run_cli search "$F" --find "" --json -f "*.utf32;b.txt"
# Listing reads no file: in automatic mode no encoding is known.
json_check "json listing: no count, and no encoding in automatic mode" 'lines == [
    {"path": F + "\\wide.utf32", "count": None, "encoding": None},
    {"path": F + "\\b.txt", "count": None, "encoding": None},
    {"summary": {"files": 2, "occurrences": 0, "skipped": 0}}]'
run_cli search "$F" --find apple --json --count-only -e utf16le
json_check "json count only" 'lines == [{"summary": {"files": 0, "occurrences": 0, "skipped": 0}}]'

# The input checks, worded for a command line, in both languages.
run_cli search "$F\\missing" --find apple
check "missing folder" "quorvane-cli: no such folder: $F\\missing" "$err"; check "missing folder rc" 2 "$rc"
run_cli search "$F\\missing" --find apple /SWEDISH
check "missing folder, Swedish" "quorvane-cli: mappen finns inte: $F\\missing" "$err"
# A file in place of the folder is searched alone (more in targets_cli_test.sh).
run_cli search "$F\\a.txt" --find apple
check "a file for a folder is searched alone" "$F\\a.txt (1) 0" "$out $rc"
run_cli search "" --find apple /swedish
check "empty folder, Swedish" "quorvane-cli: mappen är tom; ange en mapp" "$err"
run_cli search "$F" --find apple --filters " ; "
check "no mask in the filters" 'quorvane-cli: --filters holds no mask; give one such as "*.txt"' "$err"; check "no mask rc" 2 "$rc"
run_cli search "$F" --find apple --filters "" /SWEDISH
check "no mask, Swedish" 'quorvane-cli: --filters innehåller inget filter; ange till exempel "*.txt"' "$err"
run_cli search "$F" --find "€" --encoding ansi
check "ANSI mode refuses Unicode" "quorvane-cli: --encoding ansi cannot search for characters outside the ANSI code page; use --encoding utf8 or utf16le" "$err"
check "ANSI mode refuses Unicode rc" 2 "$rc"
run_cli search "$F" --find "€" --encoding ANSI /SWEDISH
check "ANSI mode refuses Unicode, Swedish" "quorvane-cli: --encoding ansi kan inte söka efter tecken utanför ANSI-teckentabellen; använd --encoding utf8 eller utf16le" "$err"
run_cli search "$F" --find "é" --encoding ansi
check "ANSI mode takes Latin-1" 1 "$rc"

# Faults in the arguments name the option and end with one line of advice.
run_cli search "$F" --find apple --colour
check "unknown option" "quorvane-cli: unknown option: --colour
Try 'quorvane-cli --help'." "$err"; check "unknown option rc" 2 "$rc"; check "unknown option: no results" "" "$out"
run_cli search "$F" --find apple --colour /SWEDISH
check "unknown option, Swedish" "quorvane-cli: okänt alternativ: --colour
Försök med 'quorvane-cli --help'." "$err"
run_cli search "$F" --filters
check "missing value" "quorvane-cli: option --filters needs a value
Try 'quorvane-cli --help'." "$err"
run_cli search "$F" --find apple --encoding latin1
check "unknown encoding" "quorvane-cli: unknown encoding 'latin1' for --encoding; use auto, ansi, utf8 or utf16le
Try 'quorvane-cli --help'." "$err"
run_cli search "$F"
check "missing --find" "quorvane-cli: --find is missing (use --find \"\" to list every file)
Try 'quorvane-cli --help'." "$err"; check "missing --find rc" 2 "$rc"

# Help and version.
run_cli --help
check "help rc" 0 "$rc"; check "help: nothing on stderr" "" "$err"
for part in "Usage:" "--dry-run" "Exit codes:" "130  interrupted" "separated by \";\"" "--option=VALUE"; do
  check "help mentions '$part'" yes "$(grep -qF -- "$part" <<<"$out" && echo yes)"
done
run_cli --help /SWEDISH
check "help in Swedish" yes "$(grep -q '^Slutkoder:$' <<<"$out" && echo yes)"
run_cli --version
check "version" "quorvane-cli $QV_VERSION" "$out"

finish
