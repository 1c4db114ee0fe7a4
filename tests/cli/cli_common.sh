# Shared by the command-line front end's tests: run the real quorvane-cli.exe
# under Wine on fixture folders and compare output and exit codes.
set -u
CLI=$(realpath "$1")
HOLD_OPEN=${2:+$(realpath "$2")}
WINE_EXEC="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/scripts/wine-exec"
passed=0
failed=0
fixture=$(mktemp -d /tmp/qvcli.XXXXXX)
trap 'rm -rf "$fixture"' EXIT
# wine_path PATH: a Linux path as Wine shows it (drive Z: is the Linux root).
wine_path() {
  local path=$1
  printf 'Z:%s' "${path//\//\\}"
}
win_fixture=$(wine_path "$fixture")
# Every replace of a test records its files in an undo journal inside the fixture.
export QV_UNDO_DIR
QV_UNDO_DIR=$(wine_path "$fixture/undo-journal")

# run_cli: runs the front end; sets out (stdout, CR removed), err and rc.
run_cli() {
  local outfile errfile
  outfile=$(mktemp)
  errfile=$(mktemp)
  "$WINE_EXEC" "$CLI" "$@" >"$outfile" 2>"$errfile"
  rc=$?
  # The program itself exits with 0, 1 or 2. Anything else with no output at all
  # means Wine did not get it running; say so and try that start once more.
  if ((rc > 2)) && [[ ! -s "$outfile" ]]; then
    echo "note: no run of the program (exit code $rc, stderr: $(head -c 300 "$errfile")); starting it once more"
    "$WINE_EXEC" "$CLI" "$@" >"$outfile" 2>"$errfile"
    rc=$?
  fi
  out=$(tr -d '\r' <"$outfile")
  err=$(tr -d '\r' <"$errfile")
  rm -f "$outfile" "$errfile"
}

# A failed check shows how the last run of the program ended, so that a failure
# seen once can be told apart from a start that Wine never made.
last_run_report() {
  printf -- '--- last run: exit code %s; standard error:\n%s\n' "${rc-}" "${err-}"
}

# check NAME EXPECTED ACTUAL
check() {
  if [[ "$2" == "$3" ]]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    printf 'FAILED: %s\n--- expected\n%s\n--- actual\n%s\n' "$1" "$2" "$3"
    last_run_report
  fi
}

# json_check NAME PYTHON-CONDITION: the output is JSON Lines that Python's json
# module reads, and the condition holds for them (lines: the objects in order;
# F: the fixture folder as Wine shows it).
json_check() {
  local verdict
  verdict=$(printf '%s' "$out" | F="$win_fixture" python3 -c '
import json, os, sys
F = os.environ["F"]
try:
    lines = [json.loads(line) for line in sys.stdin.read().splitlines()]
except ValueError as fault:
    print("not JSON Lines:", fault); sys.exit()
print("ok" if ('"$2"') else "got " + repr(lines))' 2>&1)
  check "$1" ok "$verdict"
}

# check_bytes NAME FILE PRINTF-FORMAT: the file holds exactly these bytes.
check_bytes() {
  local expected
  expected=$(mktemp)
  printf -- "$3" >"$expected"
  if cmp -s "$expected" "$2"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    printf 'FAILED: %s\n--- expected\n%s\n--- actual\n%s\n' "$1" "$(od -An -tx1 "$expected")" \
      "$( [[ -e "$2" ]] && od -An -tx1 "$2" || echo '(no file)')"
  fi
  rm -f "$expected"
}

# make_encoding_tree DIR ANSI UTF8 UTF16 (printf formats): the three encodings,
# ansi.txt as it is, sub/utf8.txt after a UTF-8 mark, u16.txt in UTF-16 LE after its mark.
make_encoding_tree() {
  mkdir -p "$1/sub"
  printf -- "$2" >"$1/ansi.txt"
  { printf '\xef\xbb\xbf'; printf -- "$3"; } >"$1/sub/utf8.txt"
  printf -- "$4" | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$1/u16.txt"
}

# check_diff_agrees RAW ORIGINAL EXPECTED: the diff in RAW removes and adds exactly
# the lines that differ between the trees ORIGINAL and EXPECTED (ansi.txt in
# cp1252, sub/utf8.txt with its mark, u16.txt), as Python reads them.
check_diff_agrees() {
  local raw=$1 original=$2 expected=$3 side mark
  for side in OLD NEW; do
    mark=$([[ $side == OLD ]] && echo - || echo +)
    # (a UTF-8 file's mark stays on its first line)
    check "diff $side lines are the lines Python changes" "$(python3 - "$original" "$expected" "$side" <<'PY' | LC_ALL=C sort
import pathlib, sys
old_root, new_root, side = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2]), sys.argv[3]
for name, encoding in (("ansi.txt", "cp1252"), ("sub/utf8.txt", "utf-8-sig"), ("u16.txt", "utf-16")):
    old = (old_root / name).read_bytes().decode(encoding).splitlines()
    new = (new_root / name).read_bytes().decode(encoding).splitlines()
    for a, b in zip(old, new):
        if a != b:
            print(a if side == "OLD" else b)
PY
)" "$(grep -a "^$mark" "$raw" | grep -av "^$mark$mark$mark " | cut -c2- | tr -d '\r' | sed 's/^\xef\xbb\xbf//' |
      LC_ALL=C sort)"
  done
}

finish() {
  echo "$passed passed, $failed failed"
  ((failed == 0))
}
