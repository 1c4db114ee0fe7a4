#!/usr/bin/env bash
# quorvane-cli --pairs with the real executable on a tree of the three encodings:
# three pairs applied in order give the bytes Python computes on the decoded
# text, search counts each pair as Python does, the dry run's diff shows the same
# changes, undo brings every byte back, and a bad pairs file changes nothing.
source "$(dirname "$0")/cli_common.sh"

R="$fixture/tree"
make_encoding_tree "$R" 'caf\xe9 cat cats\r\ndog\r\nconcat\r\n' '\xf0\x9f\x98\x80 cat\ncaf\xc3\xa9 dog\tcat\n' \
  'dogcat\r\nno pets\r\n'
printf 'nothing here\r\n' >"$R/none.txt"
cp -a "$R" "$fixture/original"
WR=$(wine_path "$R")

# The pairs file: a UTF-8 mark, CR LF ends, a comment, an empty line, escapes. The
# second pair finds what the first wrote; the third what the second wrote.
pairs="$fixture/pairs.tsv"
printf '\xef\xbb\xbf# renames\r\ncat\tdog\r\n\r\ndog\twolf\\tpack\r\nf\\t\tF\\\\\r\n' >"$pairs"
WP=$(wine_path "$pairs")
FINDS=$'cat\ndog\nf\t'
REPLACEMENTS=$'dog\nwolf\tpack\nF\\'

# Python applies the pairs in order to each decoded file and counts each pair in
# the text as the pairs before it left it.
expected="$fixture/expected"
cp -a "$R" "$expected"
python3 - "$expected" "$FINDS" "$REPLACEMENTS" >"$fixture/counts" <<'PY'
import json, pathlib, sys
root = pathlib.Path(sys.argv[1])
pairs = list(zip(sys.argv[2].split("\n"), sys.argv[3].split("\n")))
counts = {}
for name, encoding in (("ansi.txt", "cp1252"), ("sub/utf8.txt", "utf-8-sig"), ("u16.txt", "utf-16"),
                       ("none.txt", "cp1252")):
    path = root / name
    text = path.read_bytes().decode(encoding)
    counts[name] = []
    for find, replace in pairs:
        counts[name].append(text.count(find))
        text = text.replace(find, replace)
    data = text.encode(encoding) if encoding != "utf-16" else b"\xff\xfe" + text.encode("utf-16-le")
    path.write_bytes(data)
print(json.dumps(counts))
PY
counts=$(cat "$fixture/counts")
export COUNTS=$counts

run_cli search "$WR" -r --pairs "$WP" --json --no-progress
check "search rc" 0 "$rc"
json_check "search counts each pair as Python does" '(lambda C, files: sorted(files) == sorted(n for n in C if sum(C[n])) and
all(files[n]["pairs"] == C[n] and files[n]["count"] == sum(C[n]) for n in files) and
lines[-1]["summary"]["pairs"] == [sum(C[n][k] for n in C) for k in range(3)] and
lines[-1]["summary"]["occurrences"] == sum(map(sum, C.values())))(json.loads(os.environ["COUNTS"]),
{l["path"].split("tree\\")[1].replace("\\", "/"): l for l in lines if "path" in l})'
run_cli search "$WR" -f ansi.txt --pairs "$WP" --no-progress
check "plain search shows the total and each pair's count" \
  "$WR\\ansi.txt ($(python3 -c 'import json,sys; c=json.loads(sys.argv[1])["ansi.txt"]; print(sum(c), "=", " + ".join(map(str, c)))' "$counts"))" "$out"

# The dry run's diff: its removed and added lines are the lines Python changes.
raw="$fixture/diff-output"
"$WINE_EXEC" "$CLI" replace "$WR" -r --pairs "$WP" --dry-run --diff --no-progress >"$raw" 2>"$fixture/diff-error"
check "dry run rc" 0 "$?"
check "dry run changed nothing" "" "$(diff -r "$fixture/original" "$R")"
check_diff_agrees "$raw" "$fixture/original" "$expected"
run_cli replace "$WR" -r --pairs "$WP" --dry-run --lines --json --no-progress
json_check "dry run lines: each line as the pairs leave it" '
[l["match"]["after"] for l in lines if "match" in l and l["match"]["path"].endswith("u16.txt")] == ["wolF\\packwolF\\pack"] * 2'

# The run: one journal entry per file, one undo for the run.
total=$(python3 -c 'import json,sys; print(sum(map(sum, json.loads(sys.argv[1]).values())))' "$counts")
run_cli replace "$WR" -r --pairs "$WP" --no-progress
check "replace rc" 0 "$rc"
check "replace totals" "Done. Number of files that were changed: 3. In total $total replacement(s). Number of skipped files: 0." "$out"
for name in ansi.txt sub/utf8.txt u16.txt none.txt; do
  if cmp -s "$expected/$name" "$R/$name"; then
    check "$name as Python writes it" same same
  else
    check "$name as Python writes it" "$(od -An -tx1 "$expected/$name")" "$(od -An -tx1 "$R/$name")"
  fi
done
run_cli undo --list
check "one run in the journal, its three files, the pairs in order" "3 file(s)|text to find: \"cat\\ndog\\nf\\t\"" \
  "$(grep -o '[0-9]* file(s)' <<<"$out" | head -n 1)|$(grep -o 'text to find: .*' <<<"$out" | head -n 1)"
run_cli undo --no-progress
check "undo rc" 0 "$rc"
check "one undo brings every byte back" "" "$(diff -r "$fixture/original" "$R")"

# Patterns with groups, -i and --word: each pair's pattern on what the one before wrote.
X="$fixture/regex"
mkdir -p "$X"
printf 'getName() SetValue() getx()\r\n' >"$X/a.txt"
# A pattern's own backslashes are doubled in the file, as every backslash there.
printf '%s\t%s\n' '(get|set)(\\w+)\\(\\)' '$2_$1()' 'Name_(\\w+)' '[$1]' >"$fixture/regex.tsv"
run_cli replace "$(wine_path "$X")" -x -i --pairs "$(wine_path "$fixture/regex.tsv")" --no-progress
check "regex pairs rc" 0 "$rc"
check_bytes "regex pairs, the second on the first's output" "$X/a.txt" '[get]() Value_Set() x_get()\r\n'
printf 'cat cats (cat)\r\n' >"$X/w.txt"
printf 'cat\tdog\ndog\tcow\n' >"$fixture/word.tsv"
run_cli search "$(wine_path "$X")" -f w.txt -w --pairs "$(wine_path "$fixture/word.tsv")" --no-progress
check "whole-word pairs" "$(wine_path "$X")\\w.txt (4 = 2 + 2)" "$out"

# A bad pairs file, or --pairs with a text on the command line, is refused before
# anything is read: the file and the line are named.
bad() { printf "$2" >"$fixture/$1"; }
bad no-tab.tsv '# a\ncat\tdog\ncat dog\n'
bad escape.tsv 'cat\tdo\\rg\n'
bad comments.tsv '# only\n\n'
bad same.tsv 'a\tb\ncat\tcat\n'
bad pattern.tsv 'a\tb\n(x\ty\n'
bad group.tsv 'a\tb\n(x)\t$2\n'
printf 'caf\xe9\tx\n' >"$fixture/latin1.tsv"
F=$win_fixture
while IFS='|' read -r name expected args; do
  eval "run_cli $args"
  check "$name" "$expected" "$(head -n 1 <<<"$err")"
  check "$name rc" 2 "$rc"
  check "$name: nothing written" "" "$out"
done <<EOF
no TAB|quorvane-cli: --pairs: '$F\\no-tab.tsv' line 3: no TAB between the text to find and its replacement|replace "$WR" --pairs "$F\\no-tab.tsv"
unknown escape|quorvane-cli: --pairs: '$F\\escape.tsv' rad 1: okänd \\-sekvens '\\r' (använd \\t, \\n eller \\\\)|search "$WR" --pairs "$F\\escape.tsv" /SWEDISH
no pairs|quorvane-cli: --pairs: '$F\\comments.tsv' holds no pairs (one a line: FIND<TAB>REPLACE)|replace "$WR" --pairs "$F\\comments.tsv"
unreadable|quorvane-cli: --pairs: '$F\\missing.tsv' cannot be read|replace "$WR" --pairs "$F\\missing.tsv"
not UTF-8|quorvane-cli: --pairs: '$F\\latin1.tsv' is not UTF-8 text|replace "$WR" --pairs "$F\\latin1.tsv"
find equals replace|quorvane-cli: --pairs: '$F\\same.tsv' line 2: the text to find and its replacement are the same, so nothing would change (with --ignore-case, other letter cases are made like it)|replace "$WR" --pairs "$F\\same.tsv"
bad pattern|quorvane-cli: --pairs: '$F\\pattern.tsv' line 2: the pattern '(x' cannot be read at its end: a parenthesis has no partner|replace "$WR" -x --pairs "$F\\pattern.tsv"
unknown group|quorvane-cli: --pairs: '$F\\group.tsv' rad 2: ersättningens '\$2' pekar inte på någon grupp i mönstret (grupper: \$0..\$99, \${namn}; \$\$ skriver ett dollartecken)|search "$WR" -x --pairs "$F\\group.tsv" /SWEDISH
with --find|quorvane-cli: --pairs and --find cannot be used together|replace "$WR" --pairs "$WP" --find cat
with --replace|quorvane-cli: --pairs och --replace kan inte användas tillsammans|replace "$WR" --pairs "$WP" --replace x /SWEDISH
EOF
check "refused runs changed nothing" "" "$(diff -r "$fixture/original" "$R")"
# A pattern may write back what it found: the same pair is no fault there.
run_cli search "$WR" -r -x --pairs "$F\\same.tsv" --count-only --no-progress
check "find equals replace is allowed for patterns" "0 1" "$rc $(grep -c 'occurrence' <<<"$out")"

finish
