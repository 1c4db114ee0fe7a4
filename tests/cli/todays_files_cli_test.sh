#!/usr/bin/env bash
# quorvane-cli on files as people have them today: UTF-8 without a mark, marks
# kept by every mode, masks on long names only, line breaks as typed,
# version-control folders left alone.
source "$(dirname "$0")/cli_common.sh"

# tree_sums FOLDER: every file's path and SHA-256, sorted.
tree_sums() { (cd "$1" && find . -type f -print0 | sort -z | xargs -0 sha256sum); }

# ---- UTF-8 without a mark is UTF-8: counted as a byte search counts it ----
U="$fixture/utf8"
mkdir -p "$U/sub"
printf 'Fran\xc3\xa7ois\n' >"$U/one.txt"
printf 'Fran\xc3\xa7ois et Fran\xc3\xa7ois\nFran\xc3\xa7ois\n' >"$U/three.txt"
printf '\xef\xbb\xbfFran\xc3\xa7ois \xc2\xa9\n' >"$U/mark.txt"
printf 'caf\xc3\xa9 \xc2\xa9 Fran\xc3\xa7ois\n' >"$U/sub/deep.txt"
printf 'Fran\xe7ois in code page 1252\n' >"$U/ansi.txt"
printf 'Francois without the cedilla\n' >"$U/ascii.txt"
WU=$(wine_path "$U")
expected=""
for f in $(cd "$U" && find . -name '*.txt' | sort); do
  n=$(grep -o -F 'François' "$U/$f" | wc -l)
  ((n > 0)) && expected+="$f $n"$'\n'
done
run_cli search "$WU" -r --find "François" --json
got=$(printf '%s\n' "$out" | python3 -c '
import json, sys
for line in sys.stdin.read().splitlines():
    o = json.loads(line)
    if "path" in o and o["encoding"] != "ansi":
        print("./" + o["path"].split("\\utf8\\", 1)[1].replace("\\", "/"), o["count"])' | sort)
check "François in UTF-8 files as a byte search finds it" "${expected%$'\n'}" "$got"
json_check "UTF-8 without a mark says utf8, ANSI stays ansi" \
  '{l["path"].rsplit("\\", 1)[1]: l["encoding"] for l in lines if "path" in l} == {"ansi.txt": "ansi", "deep.txt": "utf8", "mark.txt": "utf8", "one.txt": "utf8", "three.txt": "utf8"}'
run_cli search "$WU" -r --find "Â©"
check "no mojibake counted in UTF-8 files" "" "$out"
run_cli search "$WU" -r --find "©" --count-only
check "© counted once per UTF-8 file" "2 file(s), 2 occurrence(s), 0 skipped" "$out"

# ---- Marks kept by every mode, bytes compared ----
M="$fixture/marks"
mkdir -p "$M"
make_marks() {
  printf '#!/bin/sh\necho apple\n' >"$M/script.sh.txt"
  printf '\xef\xbb\xbfapple \xc3\xa4\n' >"$M/marked.txt"
  printf '{"k": "apple \xc3\xa4"}\n' >"$M/data.txt"
  printf 'apple\r\n' >"$M/ascii.txt"
}
WM=$(wine_path "$M")
for mode in auto utf8; do
  make_marks
  run_cli replace "$WM" --find apple --replace pear -e "$mode"
  check "$mode: every file changed" "Done. Number of files that were changed: 4. In total 4 replacement(s). Number of skipped files: 0." "$out"
  check_bytes "$mode: script keeps no mark" "$M/script.sh.txt" '#!/bin/sh\necho pear\n'
  check_bytes "$mode: marked file keeps its mark" "$M/marked.txt" '\xef\xbb\xbfpear \xc3\xa4\n'
  check_bytes "$mode: UTF-8 data without a mark stays so" "$M/data.txt" '{"k": "pear \xc3\xa4"}\n'
  check_bytes "$mode: ASCII without a mark" "$M/ascii.txt" 'pear\r\n'
done
make_marks
run_cli replace "$WM" --find apple --replace "Ω" -f "data.txt"
check_bytes "new non-ASCII text into UTF-8 without a mark" "$M/data.txt" '{"k": "\xce\xa9 \xc3\xa4"}\n'

# ---- Masks match long names only ----
K="$fixture/masks"
mkdir -p "$K"
for f in report.doc report.docx page.htm page.html notes.txt notes.txt1 foo.cpp foo.cpp~; do printf 'apple' >"$K/$f"; done
WK=$(wine_path "$K")
run_cli replace "$WK" --find apple --replace pear -f "*.doc; *.htm; *.txt; *.cpp" -v
check "only the long names that match" "$WK\\report.doc (1)
$WK\\page.htm (1)
$WK\\notes.txt (1)
$WK\\foo.cpp (1)
Done. Number of files that were changed: 4. In total 4 replacement(s). Number of skipped files: 0." "$out"
for f in report.docx page.html notes.txt1 foo.cpp~; do check_bytes "$f untouched" "$K/$f" 'apple'; done

# ---- Line breaks as typed: a two-line text in LF, CR LF and CR files ----
L="$fixture/lines"
mkdir -p "$L"
make_lines() {
  printf 'begin\nold\nend\n' >"$L/lf.txt"
  printf 'begin\r\nold\r\nend\r\n' >"$L/crlf.txt"
  printf 'begin\rold\rend\r' >"$L/cr.txt"
  printf 'begin old end\n' >"$L/oneline.txt"
}
make_lines
WL=$(wine_path "$L")
nl=$'\n'
run_cli search "$WL" --find "old${nl}end" --count-only
check "a real newline in --find matches every line end" "3 file(s), 3 occurrence(s), 0 skipped" "$out"
run_cli search "$WL" --find "OLD${nl}END" --ignore-case --count-only
check "ignoring case across lines" "3 file(s), 3 occurrence(s), 0 skipped" "$out"
run_cli replace "$WL" --find "begin${nl}old" --replace "begin${nl}new${nl}more"
check "replaced in every file" "Done. Number of files that were changed: 3. In total 3 replacement(s). Number of skipped files: 0." "$out"
check_bytes "LF file keeps LF" "$L/lf.txt" 'begin\nnew\nmore\nend\n'
check_bytes "CR LF file keeps CR LF" "$L/crlf.txt" 'begin\r\nnew\r\nmore\r\nend\r\n'
check_bytes "CR file keeps CR" "$L/cr.txt" 'begin\rnew\rmore\rend\r'
check_bytes "one-line file untouched" "$L/oneline.txt" 'begin old end\n'
# A replacement's line break where the text to find has none: the file's own.
make_lines
run_cli replace "$WL" --find "old" --replace "o${nl}ld" -f "lf.txt; crlf.txt"
check_bytes "LF file, line break in the replacement only" "$L/lf.txt" 'begin\no\nld\nend\n'
check_bytes "CR LF file, line break in the replacement only" "$L/crlf.txt" 'begin\r\no\r\nld\r\nend\r\n'

# ---- A git working tree: the repository is left alone ----
G="$fixture/repo"
mkdir -p "$G/src"
printf 'main says hello\n' >"$G/README.md"
printf 'int main() { return 0; } // main\n' >"$G/src/main.c"
git -C "$G" init -q -b main
git -C "$G" -c user.name=t -c user.email=t@example.com add -A
git -C "$G" -c user.name=t -c user.email=t@example.com commit -q -m "main: first"
git -C "$G" pack-refs --all
git_before=$(tree_sums "$G/.git")
WG=$(wine_path "$G")
run_cli replace "$WG" -r -f "*" --find main --replace trunk
check "work tree replaced" "Done. Number of files that were changed: 2. In total 3 replacement(s). Number of skipped files: 0." "$out"
check ".git byte for byte" "$git_before" "$(tree_sums "$G/.git")"
check "git sees only the work tree's changes" " M README.md
 M src/main.c" "$(git -C "$G" status --porcelain)"
run_cli search "$WG" -r -f "*" --find trunk --count-only --no-vcs-skip
check "the replacement is in the work tree only" "2 file(s), 3 occurrence(s), 0 skipped" "$out"
run_cli search "$WG" -r -f "*" --find main --count-only --no-vcs-skip
check "--no-vcs-skip finds the repository's own files" "yes" "$([[ "$out" != "0 file(s)"* ]] && echo yes || echo "$out")"
run_cli search "$WG" -r -f "*" --find main --count-only
check "without it, .git is not searched" "0 file(s), 0 occurrence(s), 0 skipped" "$out"

finish
