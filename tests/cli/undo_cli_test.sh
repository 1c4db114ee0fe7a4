#!/usr/bin/env bash
# quorvane-cli undo, every command a new process: every byte back as it was
# (marks kept, CR LF and LF, an empty file, a device name), the run before
# taken by the next undo, files changed since named on standard error, a damaged
# and an unwritable journal, undo --list, the exit codes, both languages.
source "$(dirname "$0")/cli_common.sh"

J="$fixture/undo-journal"  # QV_UNDO_DIR, as cli_common.sh sets it

# snapshot DIR: every file under DIR with the SHA-256 of its bytes, and every folder.
snapshot() {
  (cd "$1" && find . -type f -print0 | sort -z | xargs -0 -r sha256sum && find . -type d | sort)
}
# newest_run: the folder of the newest run (undo.lock lies beside the runs).
newest_run() {
  printf '%s/%s' "$J" "$(ls -1 "$J" | grep -E '^[0-9]{8}-' | sort | tail -1)"
}
# journal_file: the journal.dat of the newest run.
journal_file() {
  printf '%s/journal.dat' "$(newest_run)"
}

# ---- Every byte back, newest run first ----
D="$fixture/tree"
mkdir -p "$D/sub"
printf '\xef\xbb\xbfapple\r\npear apple\r\n' >"$D/u8.txt"
printf '\xff\xfea\x00p\x00p\x00l\x00e\x00\n\x00' >"$D/u16.txt"
printf '\xe9 apple\r\n' >"$D/ansi.txt"
printf 'apple\n' >"$D/nomark.txt"
: >"$D/empty.txt"
printf 'apple' >"$D/aux.txt"
printf 'apple\napple\n' >"$D/sub/lf.txt"
W=$(wine_path "$D")
before=$(snapshot "$D")

run_cli replace "$W" --find apple --replace cherry --recursive
check "first replace" "Done. Number of files that were changed: 6. In total 8 replacement(s). Number of skipped files: 0." "$out"
after_first=$(snapshot "$D")
# Read as UTF-8, the files without a mark keep having none; the UTF-16 and the ANSI
# file are not UTF-8: skipped as invalid in that encoding.
run_cli replace "$W" --find cherry --replace plum --recursive --encoding utf8
check "second replace" "Done. Number of files that were changed: 4. In total 6 replacement(s). Number of skipped files: 2." "$out"
check "the second replace added no mark" "plum" "$(cat "$D/aux.txt")"

run_cli undo /SWEDISH
check "first undo, Swedish" "Klart. Återställda filer: 4." "$out"
check "first undo rc" 0 "$rc"
check "first undo: nothing on stderr" "" "$err"
check "first undo takes back the second run only" "$after_first" "$(snapshot "$D")"
run_cli undo
check "second undo" "Done. Files restored: 6." "$out"
check "second undo rc" 0 "$rc"
check "every byte as before the first replace" "$before" "$(snapshot "$D")"
run_cli undo
check "nothing left to undo" "quorvane-cli: nothing to undo" "$err"
check "nothing left rc" 1 "$rc"
check "nothing left: no result line" "" "$out"

# ---- Files changed since: left as they are, counted and named ----
D2="$fixture/since"
mkdir -p "$D2"
for f in a b c d e; do printf 'apple %s' "$f" >"$D2/$f.txt"; done
W2=$(wine_path "$D2")
run_cli replace "$W2" --find apple --replace pear
printf 'pear b, edited' >"$D2/b.txt"
rm "$D2/c.txt"
rm "$D2/d.txt" && mkdir "$D2/d.txt"
run_cli undo
check "changed since: result" "Done. Files restored: 2. Changed since and left untouched: 3." "$out"
check "changed since: rc" 1 "$rc"
check "changed since: named with their reasons" "$W2\\b.txt (left untouched: edited since)
$W2\\c.txt (left untouched: no longer there)
$W2\\d.txt (left untouched: a folder has its name now)" "$err"
check "changed since: restored and untouched files" "apple a|pear b, edited|apple e" \
  "$(cat "$D2/a.txt")|$(cat "$D2/b.txt")|$(cat "$D2/e.txt")"
check "a file that has gone is not made again" "no" "$([[ -e "$D2/c.txt" ]] && echo yes || echo no)"
check "the folder stays" "yes" "$([[ -d "$D2/d.txt" ]] && echo yes || echo no)"
printf 'apple' >"$D2/x.txt"
run_cli replace "$W2" --find apple --replace pear --filters x.txt
printf 'edited' >"$D2/x.txt"
run_cli undo /SWEDISH
check "changed since, Swedish" "Klart. Återställda filer: 0. Ändrade sedan dess och lämnade orörda: 1." "$out"
check "changed since, Swedish, named" "$W2\\x.txt (lämnad orörd: ändrad sedan dess)" "$err"

# ---- undo --list: newest first, changes nothing ----
D3="$fixture/list"
mkdir -p "$D3"
printf 'one two' >"$D3/a.txt"
printf 'one' >"$D3/b.txt"
W3=$(wine_path "$D3")
run_cli replace "$W3" --find one --replace 1 --filters "*.txt"
run_cli replace "$W3" --find two --replace "2
two" --recursive --ignore-case
state=$(snapshot "$D3")
run_cli undo --list
check "list rc" 0 "$rc"
check "list: newest run first, each with its date, files, folder, filters and texts" "ok" "$(printf '%s\n' "$out" | python3 -c '
import re, sys
lines = sys.stdin.read().splitlines()
date = r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d"
ok = (len(lines) == 12 and re.fullmatch(date + "  1 file\\(s\\)", lines[0])
      and re.fullmatch(date + "  2 file\\(s\\)", lines[6])
      and lines[1:5] == ["  folder:       " + sys.argv[1], "  filters:      *.TXT",
                         "  text to find: \"two\"", "  replace with: \"2\\ntwo\""]
      and lines[7:11] == ["  folder:       " + sys.argv[1], "  filters:      *.txt",
                          "  text to find: \"one\"", "  replace with: \"1\""]
      and lines[5].startswith("  journal:      ") and lines[11].startswith("  journal:      "))
print("ok" if ok else lines)' "$W3")"
run_cli undo --list /SWEDISH
check "list, Swedish" "ok" "$(printf '%s\n' "$out" | grep -c '^  text att hitta: "one"$' | sed 's/^1$/ok/')"
check "list changes nothing" "$state" "$(snapshot "$D3")"
run_cli undo && run_cli undo
run_cli undo --list
check "empty list rc" 1 "$rc"
check "empty list" "quorvane-cli: nothing to undo" "$err"

# ---- A damaged journal: the damaged entry gives nothing back, the others do ----
D4="$fixture/damaged"
mkdir -p "$D4"
printf 'first apple' >"$D4/a.txt"
printf 'second apple' >"$D4/b.txt"
printf 'third apple' >"$D4/c.txt"
W4=$(wine_path "$D4")
run_cli replace "$W4" --find apple --replace pear
python3 - "$(journal_file)" <<'EOF'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
at = data.find(b"second apple")
data[at] ^= 0x20
open(sys.argv[1], "wb").write(data)
EOF
run_cli undo
check "damaged entry: result" "Done. Files restored: 2." "$out"
check "damaged entry: rc" 2 "$rc"
check "damaged entry: named, and the damage reported" "$W4\\b.txt (not restored: its entry in the undo journal is damaged)
quorvane-cli: the undo journal is damaged: nothing was restored from 1 entry(ies)" "$err"
check "damaged entry: files" "first apple|second pear|third apple" \
  "$(cat "$D4/a.txt")|$(cat "$D4/b.txt")|$(cat "$D4/c.txt")"
run_cli undo
check "the damaged run has left the journal" "quorvane-cli: nothing to undo" "$err"

# Cut inside the second entry's old bytes: the third entry cannot be found.
run_cli replace "$W4" --find e --replace E --filters "*.txt"
python3 - "$(journal_file)" <<'EOF'
import sys
path = sys.argv[1]
data = open(path, "rb").read()
open(path, "wb").write(data[:data.find(b"second pear") + 3])
EOF
run_cli undo /SWEDISH
check "cut journal: result" "Klart. Återställda filer: 1." "$out"
check "cut journal: rc" 2 "$rc"
check "cut journal: named entry and the count" "$W4\\b.txt (inte återställd: dess post i ångrajournalen är skadad)
quorvane-cli: ångrajournalen är skadad: inget återställdes från 2 post(er)" "$err"
check "cut journal: files" "first apple|sEcond pEar|third applE" \
  "$(cat "$D4/a.txt")|$(cat "$D4/b.txt")|$(cat "$D4/c.txt")"

# ---- A damaged header: the undo stops there, never at the run before ----
printf 'plum' >"$D4/x.txt"
run_cli replace "$W4" --find plum --replace fig --filters x.txt
printf 'kiwi' >"$D3/y.txt"
run_cli replace "$W3" --find kiwi --replace lime --filters y.txt
newest=$(newest_run)
python3 - "$(journal_file)" <<'EOF2'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
data[20] ^= 0xFF
open(sys.argv[1], "wb").write(data)
EOF2
run_cli undo
check "damaged header: rc" 2 "$rc"
check "damaged header: no result line" "" "$out"
check "damaged header: named" "quorvane-cli: the header of the newest run's undo journal is damaged: $(wine_path "$newest")\\; nothing was restored (remove the folder to undo older runs)" "$err"
check "damaged header: nothing restored, the run before left alone" "fig|lime" "$(cat "$D4/x.txt")|$(cat "$D3/y.txt")"
run_cli undo /SWEDISH
check "damaged header, Swedish" "quorvane-cli: huvudet i den senaste körningens ångrajournal är skadat: $(wine_path "$newest")\\; inget återställdes (ta bort mappen för att ångra äldre körningar)" "$err"
rm -r "$newest"
run_cli undo
check "the folder removed, the run before goes back" "Done. Files restored: 1.|plum" "$out|$(cat "$D4/x.txt")"

# ---- A journal that cannot be written: nothing changes ----
D5="$fixture/unwritable"
mkdir -p "$D5"
printf 'apple' >"$D5/a.txt"
printf 'apple' >"$D5/b.txt"
printf 'not a folder' >"$fixture/journal-file"
W5=$(wine_path "$D5")
QV_UNDO_DIR=$(wine_path "$fixture/journal-file") run_cli replace "$W5" --find apple --replace pear --verbose
check "unwritable journal: every file skipped" "$W5\\a.txt (skipped: the undo journal could not be written)
$W5\\b.txt (skipped: the undo journal could not be written)
No files were changed. Number of skipped files: 2." "$out"
check "unwritable journal: rc" 1 "$rc"
check "unwritable journal: files untouched" "apple|apple" "$(cat "$D5/a.txt")|$(cat "$D5/b.txt")"
check "unwritable journal: no temporary files" "" "$(cd "$D5" && find . -name 'TEMP-*')"
QV_UNDO_DIR=$(wine_path "$fixture/journal-file") run_cli replace "$W5" --find apple --replace pear
check "unwritable journal, without --verbose: the files named on standard error" "$W5\\a.txt (skipped: the undo journal could not be written)
$W5\\b.txt (skipped: the undo journal could not be written)" "$err"
check "unwritable journal, without --verbose: the result line" "No files were changed. Number of skipped files: 2." "$out"

finish
