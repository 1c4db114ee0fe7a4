#!/usr/bin/env bash
# quorvane-cli --regex and --word with the real executable on a tree of the three
# encodings: the bytes a replace with groups writes are those Python's re module
# computes on the decoded text, the dry run's diff shows the same changes, undo
# brings every byte back, and what is refused changes nothing.
source "$(dirname "$0")/cli_common.sh"

R="$fixture/tree"
make_encoding_tree "$R" 'caf\xe9 getName() setName()\r\nx = getValue();\r\nget() stays\r\n' \
  '\xf0\x9f\x98\x80 getName()\nv\xc3\xa4rde = get\xc3\x84rende();\ngetX(a)\n' 'getA()\r\nsetB() getC()\r\n'
cp -a "$R" "$fixture/original"
WR=$(wine_path "$R")

pattern='(get|set)(\w+)\(\)'
# The expected files: each decoded in its encoding, changed by Python's re, encoded back.
expected="$fixture/expected"
cp -a "$R" "$expected"
python3 - "$expected" "$pattern" <<'PY'
import pathlib, re, sys
root, pattern = pathlib.Path(sys.argv[1]), sys.argv[2]
for name, encoding in (("ansi.txt", "cp1252"), ("sub/utf8.txt", "utf-8-sig"), ("u16.txt", "utf-16")):
    path = root / name
    text = path.read_bytes().decode(encoding)
    new = re.sub(pattern, r"\2_\1()", text)
    data = new.encode(encoding) if encoding != "utf-16" else b"\xff\xfe" + new.encode("utf-16-le")
    path.write_bytes(data)
PY

# The dry run's diff: its removed and added lines are the lines Python changes.
raw="$fixture/diff-output"
"$WINE_EXEC" "$CLI" replace "$WR" -r --regex --find "$pattern" --replace '$2_$1()' --dry-run --diff --no-progress \
  >"$raw" 2>"$fixture/diff-error"
check "dry run rc" 0 "$?"
check "dry run changed nothing" "" "$(diff -r "$fixture/original" "$R")"
check_diff_agrees "$raw" "$fixture/original" "$expected"

run_cli replace "$WR" -r -x --find "$pattern" --replace '$2_$1()' --no-progress
check "replace rc" 0 "$rc"
check "replace totals" "Done. Number of files that were changed: 3. In total 8 replacement(s). Number of skipped files: 0." "$out"
for name in ansi.txt sub/utf8.txt u16.txt; do
  if cmp -s "$expected/$name" "$R/$name"; then
    check "$name as Python's re writes it" same same
  else
    check "$name as Python's re writes it" "$(od -An -tx1 "$expected/$name")" "$(od -An -tx1 "$R/$name")"
  fi
done
run_cli undo --no-progress
check "undo rc" 0 "$rc"
check "undo brings every byte back" "" "$(diff -r "$fixture/original" "$R")"

# Search counts, --lines and --json with a pattern: named groups, ignoring case.
run_cli search "$WR" -r -x -i --find 'GET(?<name>\w+)\(' --no-progress --lines
check "search lines" "$WR\\ansi.txt:1:6:caf$(printf '\xc3\xa9') getName() setName()
$WR\\ansi.txt:2:5:x = getValue();
$WR\\u16.txt:1:1:getA()
$WR\\u16.txt:2:8:setB() getC()
$WR\\sub\\utf8.txt:1:4:$(printf '\xf0\x9f\x98\x80') getName()
$WR\\sub\\utf8.txt:2:9:v$(printf '\xc3\xa4')rde = get$(printf '\xc3\x84')rende();
$WR\\sub\\utf8.txt:3:1:getX(a)" "$out"
run_cli replace "$WR" -r -x --find 'get(?<name>\w+)\((\w*)\)' --replace '${name}[$2]$$' --dry-run --lines --json --no-progress
json_check "json lines with groups" '[l["match"]["after"] for l in lines if "match" in l] ==
  ["café Name[]$ setName()", "x = Value[]$;", "A[]$", "setB() C[]$", "😀 Name[]$", "värde = Ärende[]$;", "X[a]$"]'
check "the dry runs changed nothing" "" "$(diff -r "$fixture/original" "$R")"

# Whole words, literal and as a pattern.
W="$fixture/words"
mkdir -p "$W"
printf 'cat cats cat_ _cat (cat) Cat\r\nconcat cat.\r\n' >"$W/a.txt"
words_bytes='dog cats cat_ _cat (dog) Cat\r\nconcat dog.\r\n'
run_cli search "$(wine_path "$W")" -w --find cat --no-progress
check "word search" "$(wine_path "$W")\\a.txt (3)" "$out"
run_cli search "$(wine_path "$W")" -w -i --count-only --find cat --no-progress
check "word search ignoring case" "1 file(s), 4 occurrence(s), 0 skipped" "$out"
run_cli search "$(wine_path "$W")" -w -x --count-only --find 'cats?' --no-progress
check "word search with a pattern" "1 file(s), 4 occurrence(s), 0 skipped" "$out"
run_cli replace "$(wine_path "$W")" --word --find cat --replace dog --no-progress
check "word replace rc" 0 "$rc"
check_bytes "word replace" "$W/a.txt" "$words_bytes"

# Bad patterns and replacements are refused before anything is read.
while IFS='|' read -r name expected args; do
  eval "run_cli $args"
  check "$name" "$expected" "$(head -n 1 <<<"$err")"
  check "$name rc" 2 "$rc"
done <<EOF
unclosed group|quorvane-cli: the pattern 'get(\\w+' cannot be read at its end: a parenthesis has no partner|replace "$WR" -x --find 'get(\\w+' --replace x
stray parenthesis|quorvane-cli: the pattern 'a)b' cannot be read at character 2: a parenthesis has no partner|search "$WR" -x --find 'a)b'
Swedish|quorvane-cli: mönstret '*a' går inte att läsa vid tecken 1: en upprepning (*, +, ?, {}) har inget att upprepa|search "$WR" -x --find '*a' /SWEDISH
empty match|quorvane-cli: the pattern 'x*' can match empty text, which is no occurrence; make it take at least one character (x+ instead of x*, for example)|search "$WR" -x --find 'x*'
unknown group|quorvane-cli: the replacement's '\$3' names no group of the pattern (groups: \$0..\$99, \${name}; \$\$ writes a dollar sign)|replace "$WR" -x --find '(a)(b)' --replace '\$3'
unknown name|quorvane-cli: ersättningens '\${n}' pekar inte på någon grupp i mönstret (grupper: \$0..\$99, \${namn}; \$\$ skriver ett dollartecken)|replace "$WR" -x --find '(?<k>a)' --replace '\${n}' /SWEDISH
regex in undo|quorvane-cli: --regex does not belong to the undo command|undo --regex
EOF
check "refused runs changed nothing" "" "$(diff -r "$fixture/original" "$R")"
# Without --regex a replacement is literal, $ and all.
run_cli replace "$WR" -f u16.txt --find 'getA()' --replace '$1${x}' --no-progress
check "literal dollar rc" 0 "$rc"
check "literal dollar" "\$1\${x}" "$(iconv -f UTF-16 -t UTF-8 "$R/u16.txt" | head -n 1 | tr -d '\r')"


# A pattern may write back what it found: a file whose bytes would not change is
# neither written nor journalled and counts as neither changed nor skipped; the
# files it does change are counted with all their occurrences.
S="$fixture/same"
mkdir -p "$S"
printf 'ab xb ab\r\n' >"$S/same.txt"
printf 'cb ab\r\n' >"$S/mixed.txt"
touch -d '2001-02-03 04:05:06' "$S/same.txt" "$S/mixed.txt"
journal_before=$(ls -l "$fixture/undo-journal" 2>/dev/null)
run_cli replace "$(wine_path "$S")" -f same.txt -x --find 'a(b)' --replace 'a$1' --no-progress
check "unchanging pattern rc" 1 "$rc"
check "unchanging pattern totals" "No files were changed. Number of skipped files: 0." "$out"
check "unchanging pattern: no journal entry" "$journal_before" "$(ls -l "$fixture/undo-journal" 2>/dev/null)"
run_cli replace "$(wine_path "$S")" -x --find '(a|c)(b)' --replace 'a$2' --dry-run --no-progress
check "dry run lists the file that changes" "$(wine_path "$S")\\mixed.txt (2)
Dry run, nothing was changed. Files that would be changed: 1. In total 2 replacement(s). Number of skipped files: 0." "$out"
run_cli replace "$(wine_path "$S")" -x --find '(a|c)(b)' --replace 'a$2' --no-progress
check "partly unchanging pattern totals" "Done. Number of files that were changed: 1. In total 2 replacement(s). Number of skipped files: 0." "$out"
check "the unchanging file was not written" "2001-02-03 04:05:06" "$(date -d "@$(stat -c %Y "$S/same.txt")" '+%Y-%m-%d %H:%M:%S')"
check_bytes "the changing file" "$S/mixed.txt" 'ab ab\r\n'
check_bytes "the unchanging file" "$S/same.txt" 'ab xb ab\r\n'

finish
