#!/usr/bin/env bash
# quorvane-cli --lines, --context and --diff on real files of the three
# encodings: the lines shown, the JSON positions, and a diff that git applies to
# exactly the bytes a real replace writes.
source "$(dirname "$0")/cli_common.sh"

# run_raw: like run_cli, but keeps standard output's bytes in the file $raw.
raw="$fixture/raw-output"
run_raw() {
  "$WINE_EXEC" "$CLI" "$@" >"$raw" 2>"$fixture/raw-error"
  rc=$?
  err=$(tr -d '\r' <"$fixture/raw-error")
}

# A tree of the three encodings with CR LF, LF and CR line ends.
E="$fixture/enc"
mkdir -p "$E/sub"
ansi_bytes='caf\xe9 the\r\nnothing\r\n\tthe\x01end\r\na\r\nb\r\nc\r\nd\r\nlast the\r\n'
printf "$ansi_bytes" >"$E/ansi.txt"
printf 'one\rthe two\rthree' >"$E/cr.txt"
printf '\xef\xbb\xbf\xf0\x9f\x98\x80 the\nsecond\nthe third, the fourth\n' >"$E/sub/utf8.txt"
printf 'he\r\nthe end\r\n' | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$E/u16.txt"
WE=$(wine_path "$E")

run_cli search "$WE" -r --find the --lines --no-progress
check "lines" "$WE\\ansi.txt:1:6:café the
$WE\\ansi.txt:3:2:	the\\x01end
$WE\\ansi.txt:8:6:last the
$WE\\cr.txt:2:1:the two
$WE\\u16.txt:2:1:the end
$WE\\sub\\utf8.txt:1:4:😀 the
$WE\\sub\\utf8.txt:3:1:the third, the fourth
$WE\\sub\\utf8.txt:3:12:the third, the fourth" "$out"
check "lines rc" 0 "$rc"

run_cli search "$WE" -r --find the -C 1 --no-progress
check "context" "$WE\\ansi.txt:1:6:café the
$WE\\ansi.txt-2-nothing
$WE\\ansi.txt:3:2:	the\\x01end
$WE\\ansi.txt-4-a
--
$WE\\ansi.txt-7-d
$WE\\ansi.txt:8:6:last the
--
$WE\\cr.txt-1-one
$WE\\cr.txt:2:1:the two
$WE\\cr.txt-3-three
--
$WE\\u16.txt-1-he
$WE\\u16.txt:2:1:the end
--
$WE\\sub\\utf8.txt:1:4:😀 the
$WE\\sub\\utf8.txt-2-second
$WE\\sub\\utf8.txt:3:1:the third, the fourth
$WE\\sub\\utf8.txt:3:12:the third, the fourth" "$out"

# Context 0 still sets groups apart; -n and -C may be clustered with other letters.
run_cli search "$WE" --find the -rnC0 --filters ansi.txt --no-progress
check "context 0" "$WE\\ansi.txt:1:6:café the
--
$WE\\ansi.txt:3:2:	the\\x01end
--
$WE\\ansi.txt:8:6:last the" "$out"

# An occurrence across a line break is listed on its first line, with the lines it spans.
run_cli search "$WE" --find $'nothing\r\n\tthe' --lines --filters ansi.txt --no-progress
check "across lines" "$WE\\ansi.txt:2:1:nothing
$WE\\ansi.txt-3-	the\\x01end" "$out"

# A line break typed as LF matches the file's CR LF: the occurrence is one unit
# longer than the text to find, and still shows the line it reaches.
run_cli search "$WE" --find $'end\na' --lines --filters ansi.txt --no-progress
check "typed line break" "$WE\\ansi.txt:3:6:	the\\x01end
$WE\\ansi.txt-4-a" "$out"

# JSON: every position, read back from the file in its encoding, holds the text to find.
json_positions() { # NAME FIND
  local verdict
  verdict=$(printf '%s' "$out" | F="$win_fixture" FIX="$fixture" FIND="$2" python3 -c '
import json, os, re, sys
F, FIX, FIND = os.environ["F"], os.environ["FIX"], os.environ["FIND"]
lines = [json.loads(line) for line in sys.stdin.read().splitlines()]
files = [line for line in lines if "path" in line]
matches = [line["match"] for line in lines if "match" in line]
codecs = {"ansi": "cp1252", "utf8": "utf-8-sig", "utf16le": "utf-16"}
problems = []
for f in files:
    text = open(FIX + f["path"][len(F):].replace("\\", "/"), "rb").read().decode(codecs[f["encoding"]])
    rows = re.split("\r\n|\n|\r", text)
    own = [m for m in matches if m["path"] == f["path"]]
    if len(own) != f["count"]:
        problems.append(("count", f))
    for m in own:
        found = m["text"].encode("utf-16-le")[2 * (m["column"] - 1):][:2 * len(FIND)].decode("utf-16-le")
        if rows[m["line"] - 1] != m["text"] or found.casefold() != FIND.casefold():
            problems.append(m)
print("ok" if files and not problems else problems)' 2>&1)
  check "$1" ok "$verdict"
}
run_cli search "$WE" -r --find the --lines --json --no-progress
json_positions "json: positions point at the text" the
check "json: each file's matches follow it" \
  "file match match match file match file match file match match match summary" \
  "$(printf '%s' "$out" | python3 -c 'import json,sys; print(" ".join(next(iter(json.loads(l))) if "match" in l else ("summary" if "summary" in l else "file") for l in sys.stdin.read().splitlines()))')"
run_cli search "$WE" -r --find THE --ignore-case --lines --json --no-progress
json_positions "json: positions, ignoring case" THE

# A dry run's match objects carry the line as Apply would write it.
run_cli replace "$WE" -r --find the --replace THAT --dry-run --json --lines --no-progress
json_check "replace json: after" '[m["match"]["after"] for m in lines if "match" in m] == [
    "café THAT", "\tTHAT\x01end", "last THAT", "THAT two", "THAT end", "😀 THAT", "THAT third, THAT fourth",
    "THAT third, THAT fourth"] and lines[-1]["summary"]["dry_run"]'
check_bytes "replace json: nothing written" "$E/ansi.txt" "$ansi_bytes"

# The diff of a UTF-16 file shows its decoded lines as UTF-8, line ends kept.
run_raw replace "$WE" -r --find the --replace THE -n --diff --no-progress
python3 - "$raw" >"$fixture/u16.diff" <<'EOF'
import sys
diff = open(sys.argv[1], "rb").read()
start = diff.index(b"--- a/u16.txt\n")
end = diff.find(b"--- a/", start + 1)
sys.stdout.buffer.write(diff[start:end if end >= 0 else len(diff)])
EOF
check_bytes "UTF-16 diff" "$fixture/u16.diff" '--- a/u16.txt\n+++ b/u16.txt\n@@ -1,2 +1,2 @@\n he\r\n-the end\r\n+THE end\r\n'
check "diff: result line on standard error" \
  "Dry run, nothing was changed. Files that would be changed: 4. In total 8 replacement(s). Number of skipped files: 0." "$err"

# A UTF-8 and ASCII tree: git apply of the diff gives exactly what a real replace writes.
G="$fixture/git"
mkdir -p "$G/sub dir"
printf 'x\r\nthe\r\ny\r\n' >"$G/crlf.txt"
printf '\xef\xbb\xbfthe first\n2\n3\n4\n5\n6\n7\n8\n9\n10 the\n11\n12\n13\n14\n15\n16 the\n17\n18\nthe last' >"$G/mark.txt"
printf 'keep\nthe\nend\nthe\nmore\n' >"$G/sub dir/two words.txt"
printf 'no text to find\n' >"$G/plain.txt"
printf '\xc3\xa5the\xc3\xa4\n\nthe\n' >"$G/sub dir/utf8.txt"
printf 'a\x00the\nend\nTHE\r\nthe first\n' >"$G/binary.txt"
apply_check() { # NAME DIFF-OPTION ARGUMENTS...: git apply of the dry run's diff equals a real replace
  local name=$1 diff_option=$2
  shift 2
  rm -rf "$fixture/applied" "$fixture/replaced"
  cp -r "$G" "$fixture/applied"
  cp -r "$G" "$fixture/replaced"
  run_raw replace "$(wine_path "$fixture/applied")" -r --dry-run --diff $diff_option --no-progress "$@"
  check "$name: dry run rc" 0 "$rc"
  check "$name: skipped file named on standard error" "$(wine_path "$fixture/applied")\\binary.txt (skipped: looks like a binary file)" \
    "$(head -n 1 <<<"$err")"
  check "$name: dry run changed nothing" "" "$(diff -r "$G" "$fixture/applied")"
  # git takes hunks without context lines only when told to expect them.
  local zero=()
  [[ $diff_option == --context=0 ]] && zero=(--unidiff-zero)
  check "$name: git apply" "" "$(cd "$fixture/applied" && git apply --whitespace=nowarn "${zero[@]}" "$raw" 2>&1)"
  run_cli replace "$(wine_path "$fixture/replaced")" -r --no-progress "$@"
  check "$name: replace rc" 0 "$rc"
  check "$name: applied diff equals replace" "" "$(diff -r "$fixture/applied" "$fixture/replaced")"
}
apply_check "longer" "" --find the --replace THOSE
apply_check "two lines for one, context 1" "-C1" --find the --replace $'T\nH'
apply_check "across lines, deleted" "--context=0" --find $'the\nend\n' --replace ""
apply_check "ignoring case, joined lines" "" -i --find $'THE\r\n' --replace "the " -f "crlf.txt; binary.txt"
check "diff names and hunks" "--- a/crlf.txt
+++ b/crlf.txt
@@ -1,3 +1,2 @@
 x
-the
-y
+the y" "$(tr -d '\r' <"$raw")"
check_bytes "CR LF kept" "$raw" '--- a/crlf.txt\n+++ b/crlf.txt\n@@ -1,3 +1,2 @@\n x\r\n-the\r\n-y\r\n+the y\r\n'
apply_check "first line deleted, the mark stays" "" --find $'the first\n' --replace ""
run_raw replace "$(wine_path "$G")" -r --dry-run --diff --no-progress --find 16 --replace sixteen -C 2
check_bytes "hunk with the mark's first line and a file without a final line end" "$raw" \
  '--- a/mark.txt\n+++ b/mark.txt\n@@ -14,5 +14,5 @@\n 14\n 15\n-16 the\n+sixteen the\n 17\n 18\n'
run_raw replace "$(wine_path "$G")" -r --dry-run --diff --no-progress --find last --replace end -C 2
check_bytes "last line without a line end" "$raw" \
  '--- a/mark.txt\n+++ b/mark.txt\n@@ -17,3 +17,3 @@\n 17\n 18\n-the last\n\\ No newline at end of file\n+the end\n\\ No newline at end of file\n'
run_raw replace "$(wine_path "$G")" -r --dry-run --diff --no-progress --find first --replace 1st -C 1
check_bytes "first line keeps the mark" "$raw" \
  '--- a/mark.txt\n+++ b/mark.txt\n@@ -1,2 +1,2 @@\n-\xef\xbb\xbfthe first\n+\xef\xbb\xbfthe 1st\n 2\n'
run_raw replace "$(wine_path "$G")" -r --dry-run --diff --no-progress --find keep --replace x
check "names with a blank end in a TAB" "--- a/sub dir/two words.txt	" "$(head -n 1 "$raw")"
run_raw replace "$(wine_path "$G")" -r --dry-run --diff --no-progress --find "two words" --replace x
check "a diff of nothing is empty" "0" "$(stat -c %s "$raw")"

# What the options refuse changes nothing.
while IFS='|' read -r name expected args; do
  eval "run_cli $args"
  check "$name" "$expected" "$(head -n 1 <<<"$err")"
  check "$name rc" 2 "$rc"
done <<EOF
diff without dry run|quorvane-cli: --diff works only with --dry-run (replace then changes nothing)|replace "$WE" --find the --replace X --diff
lines without dry run|quorvane-cli: --lines works only with --dry-run (replace then changes nothing)|replace "$WE" --find the --replace X --lines
Swedish|quorvane-cli: --diff fungerar bara med --dry-run (replace ändrar inget då)|replace "$WE" --find the --replace X --diff /SWEDISH
diff in search|quorvane-cli: --diff belongs to the replace command|search "$WE" --find the --diff
diff and json|quorvane-cli: --json and --diff cannot be used together|replace "$WE" --find the --replace X -n --diff --json
lines and count|quorvane-cli: --count-only and --lines cannot be used together|search "$WE" --find the -n --count-only
context not a number|quorvane-cli: invalid value for option --context|search "$WE" --find the --context x
negative context|quorvane-cli: invalid value for option --context|search "$WE" --find the -C -1
context without value|quorvane-cli: option --context needs a value|search "$WE" --find the --context
lines in undo|quorvane-cli: --lines does not belong to the undo command|undo --lines
EOF
check_bytes "refused runs changed nothing" "$E/ansi.txt" "$ansi_bytes"

finish
