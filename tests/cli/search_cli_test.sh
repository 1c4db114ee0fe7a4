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

run_cli search "$F" --find x
check "grouped count, English" "$F\\big.txt (1,234)" "$out"
LC_ALL=sv_SE.UTF-8 run_cli search "$F" --find x
check "grouped count, Swedish (no-break space)" "$F\\big.txt (1"$'\u00a0'"234)" "$out"

run_cli search "$F" --find zzz
check "nothing matched" "No files were matched." "$out"; check "nothing matched rc" 1 "$rc"
run_cli search "$F" --find zzz /SWEDISH
check "nothing matched, /SWEDISH" "Inga filer matchades." "$out"
LC_ALL=sv_SE.UTF-8 run_cli search "$F" --find zzz
check "nothing matched, Swedish locale" "Inga filer matchades." "$out"
LC_ALL=sv_SE.UTF-8 run_cli search "$F" --find zzz /english
check "nothing matched, /english on a Swedish locale" "No files were matched." "$out"
run_cli search "$F" --find apple --filters "*.utf32"
check "skipped mark" "No files were matched. Number of skipped files: 1." "$out"; check "skipped rc" 1 "$rc"
LC_ALL=sv_SE.UTF-8 run_cli search "$F" --find apple --filters "*.utf32"
check "skipped mark, Swedish" "Inga filer matchades. Antal överhoppade filer: 1." "$out"

run_cli search "$F\\missing" --find apple
check "missing folder" "Specify an existing folder." "$err"; check "missing folder rc" 2 "$rc"
run_cli search "" --find apple /swedish
check "empty folder, Swedish" "Ange en existerande mapp." "$err"
run_cli search "$F" --find apple --filters ""
check "empty filters" "Specify one or more filter(s)." "$err"; check "empty filters rc" 2 "$rc"
run_cli search "$F" --find "€" --encoding ansi
check "ANSI mode refuses Unicode" "The program works in ANSI mode and thus can not handle Unicode characters. Switch mode with [F8]." "$err"
check "ANSI mode refuses Unicode rc" 2 "$rc"
run_cli search "$F" --find "é" --encoding ansi
check "ANSI mode takes Latin-1" 1 "$rc"
run_cli --help
check "help rc" 0 "$rc"
run_cli search "$F"
check "missing --find rc" 2 "$rc"

finish
