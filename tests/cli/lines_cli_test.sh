#!/usr/bin/env bash
# quorvane-cli --lines and --context on real files of the three encodings: the
# lines shown and the JSON positions.
source "$(dirname "$0")/cli_common.sh"

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

# What the options refuse changes nothing.
while IFS='|' read -r name expected args; do
  eval "run_cli $args"
  check "$name" "$expected" "$(head -n 1 <<<"$err")"
  check "$name rc" 2 "$rc"
done <<EOF
lines without dry run|quorvane-cli: --lines works only with --dry-run (replace then changes nothing)|replace "$WE" --find the --replace X --lines
lines and count|quorvane-cli: --count-only and --lines cannot be used together|search "$WE" --find the -n --count-only
context not a number|quorvane-cli: invalid value for option --context|search "$WE" --find the --context x
negative context|quorvane-cli: invalid value for option --context|search "$WE" --find the -C -1
context without value|quorvane-cli: option --context needs a value|search "$WE" --find the --context
lines in undo|quorvane-cli: --lines does not belong to the undo command|undo --lines
EOF
check_bytes "refused runs changed nothing" "$E/ansi.txt" "$ansi_bytes"

finish
