#!/usr/bin/env bash
# quorvane-cli with a file in place of the folder, and -l / -0 for scripts.
source "$(dirname "$0")/cli_common.sh"

mkdir -p "$fixture/sub dir"
printf 'apple apple' >"$fixture/a.txt"
printf 'apple' >"$fixture/b.md"
printf 'pear' >"$fixture/c.txt"
printf 'apple' >"$fixture/sub dir/räk smörgås.txt"
printf 'apple' >"$fixture/sub dir/d.txt"
F="$win_fixture"

# A file is searched alone, whatever the filters, -r or --exclude say.
run_cli search "$F\\b.md" --find apple -r --exclude "*.md"
check "a file as the target" "$F\\b.md (1) 0" "$out $rc"
run_cli search "$F\\c.txt" --find apple
check "a file without the text" "No files were matched. 1" "$err $rc"
(cd "$fixture/sub dir" && "$WINE_EXEC" "$CLI" search "räk smörgås.txt" --find apple >"$fixture.out" 2>&1)
check "a relative file name, listed with its full path" "$F\\sub dir\\räk smörgås.txt (1)" "$(tr -d '\r' <"$fixture.out")"
rm -f "$fixture.out"
run_cli replace "$F\\a.txt" --find apple --replace pear -r
check "replace: the file alone" "Done. Number of files that were changed: 1. In total 2 replacement(s). Number of skipped files: 0. 0" "$out $rc"
check_bytes "replace: the file changed" "$fixture/a.txt" 'pear pear'
check_bytes "replace: its neighbours untouched" "$fixture/sub dir/d.txt" 'apple'
run_cli undo
check_bytes "undo: the file back" "$fixture/a.txt" 'apple apple'
run_cli search "$F\\missing.txt" --find apple
check "neither file nor folder" "quorvane-cli: no such folder: $F\\missing.txt 2" "$err $rc"

# -l: the paths alone; -0: each ends with NUL, and xargs -0 takes them back whole.
run_cli search "$F" -r --find apple -l
check "-l" "$F\\a.txt
$F\\sub dir\\d.txt
$F\\sub dir\\räk smörgås.txt" "$out"
got=$("$WINE_EXEC" "$CLI" search "$F" -r --find apple --files-with-matches --null -f "*.md" | tr '\0\r\n' '|<>')
check "--null: NUL and no line end" "$F\\b.md|" "$got"
got=$("$WINE_EXEC" "$CLI" search "$F" -r --find apple -l0 | xargs -0 -n1 printf '[%s]\n')
check "-l -0 | xargs -0: each path whole" "[$F\\a.txt]
[$F\\sub dir\\d.txt]
[$F\\sub dir\\räk smörgås.txt]" "$got"
# The round trip: the paths xargs hands on name the files that hold the text.
got=$("$WINE_EXEC" "$CLI" search "$F" -r --find apple -l -0 |
      xargs -0 -I{} "$WINE_EXEC" "$CLI" search {} --find apple --count-only | tr -d '\r' | sort | uniq -c | sed 's/^ *//')
check "-l -0 | xargs -0 quorvane-cli search FILE" "2 1 file(s), 1 occurrence(s), 0 skipped
1 1 file(s), 2 occurrence(s), 0 skipped" "$got"

# Faults.
run_cli search "$F" --find apple --null
check "--null without -l" "quorvane-cli: --null needs --files-with-matches (-l) 2" "$(head -1 <<<"$err") $rc"
run_cli replace "$F" --find apple --replace pear -l /SWEDISH
check "-l with replace, Swedish" "quorvane-cli: --files-with-matches hör till kommandot search 2" "$(head -1 <<<"$err") $rc"
run_cli search "$F" --find apple -l --json
check "-l with --json" "quorvane-cli: --files-with-matches and --json cannot be used together 2" "$(head -1 <<<"$err") $rc"

finish
