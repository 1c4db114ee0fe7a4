#!/usr/bin/env bash
# quorvane-cli --exclude and --exclude-from: files and folders left out by name,
# by relative path and by "**"; an excluded folder's listing is never read (the
# kernel's own record of who opened the folder says so); bad lists are refused.
source "$(dirname "$0")/cli_common.sh"

T="$fixture/tree"
for file in a.js skip.log node_modules/lib/x.js web/node_modules/y.js src/gen/g.js src/app/gen/h.js \
            src/app/gen/keep/k.js src/main.js build/out.js Build.js notes/build/n.js; do
  mkdir -p "$(dirname "$T/$file")"
  printf 'TODO\n' >"$T/$file"
done
cp "$T/a.js" "$T/skip.log"
W=$(wine_path "$T")

# The files a search lists, relative to the tree, one a line, sorted.
listed() {
  run_cli search "$W" -r -f "*.js;*.log" --find TODO "$@"
  printf '%s\n' "$out" | sed -e "s#^$(printf '%s' "$W" | sed 's/[\\.]/\\&/g')\\\\##" -e 's/ (1)$//' -e 's#\\#/#g' | sort
}

while IFS='|' read -r name expected excludes; do
  args=()
  IFS=';' read -ra globs <<<"$excludes"
  for glob in "${globs[@]}"; do args+=(--exclude "$glob"); done
  check "exclude: $name" "$(tr ' ' '\n' <<<"$expected" | sort)" "$(listed "${args[@]}")"
done <<'CASES'
nothing|Build.js a.js build/out.js node_modules/lib/x.js notes/build/n.js skip.log src/app/gen/h.js src/app/gen/keep/k.js src/gen/g.js src/main.js web/node_modules/y.js|
a folder name at any depth, any case|Build.js a.js build/out.js notes/build/n.js skip.log src/app/gen/h.js src/app/gen/keep/k.js src/gen/g.js src/main.js|NODE_MODULES
folders only: the file Build.js stays|Build.js a.js node_modules/lib/x.js skip.log src/app/gen/h.js src/app/gen/keep/k.js src/gen/g.js src/main.js web/node_modules/y.js|build/
a relative path, and a mask|Build.js a.js build/out.js node_modules/lib/x.js notes/build/n.js src/app/gen/h.js src/app/gen/keep/k.js src/main.js web/node_modules/y.js|src/gen;*.log
** across folders, * within one|Build.js a.js build/out.js node_modules/lib/x.js notes/build/n.js skip.log src/app/gen/keep/k.js src/main.js web/node_modules/y.js|**/gen/*.js
backslashes, blanks around a glob|Build.js a.js build/out.js notes/build/n.js skip.log src/gen/g.js src/main.js web/node_modules/y.js|src\app\ ; x.js
CASES

# "a;b" in one --exclude is two globs; --exclude-from reads one a line (CR LF,
# a byte-order mark and blank lines are fine).
run_cli search "$W" -r -f "*.js;*.log" --find TODO --exclude "node_modules/; build/ ;*.log" --count-only
check "one value, three globs" "6 file(s), 6 occurrence(s), 0 skipped" "$out"
printf '\xef\xbb\xbfnode_modules/\r\n\r\n  build/  \r\n*.log\n' >"$fixture/excludes.txt"
run_cli search "$W" -r -f "*.js;*.log" --find TODO --exclude-from "$(wine_path "$fixture/excludes.txt")" --count-only
check "--exclude-from" "6 file(s), 6 occurrence(s), 0 skipped" "$out"

# The excluded folders are never opened: inotify records every opening of a
# watched folder. Without --exclude the same run opens them (the watch works).
opened_during() {  # ARGUMENTS...: which of the watched folders the run opened
  python3 - "$T" "$WINE_EXEC" "$CLI" "$@" <<'PY'
import ctypes, os, struct, subprocess, sys
root, run = sys.argv[1], sys.argv[2:]
libc = ctypes.CDLL("libc.so.6", use_errno=True)
IN_OPEN, IN_NONBLOCK = 0x20, 0o4000
fd = libc.inotify_init1(IN_NONBLOCK)
watched = {}
for folder in ("node_modules", "node_modules/lib", "web/node_modules", "src/gen", "src/app/gen"):
    wd = libc.inotify_add_watch(fd, os.path.join(root, folder).encode(), IN_OPEN)
    watched[wd] = folder
subprocess.run(run, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
opened = set()
while True:
    try:
        data = os.read(fd, 65536)
    except BlockingIOError:
        break
    at = 0
    while at < len(data):
        wd, mask, cookie, size = struct.unpack_from("iIII", data, at)
        if mask & IN_OPEN and wd in watched:
            opened.add(watched[wd])
        at += 16 + size
print(" ".join(sorted(opened)))
PY
}
check "without --exclude every folder is opened" "node_modules node_modules/lib src/app/gen src/gen web/node_modules" \
  "$(opened_during search "$W" -r -f "*.js" --find TODO)"
check "excluded folders are never opened" "src/app/gen" \
  "$(opened_during search "$W" -r -f "*.js;*.log" --find TODO --exclude "node_modules/;src/gen")"
check "replace: excluded folders are never opened" "" \
  "$(opened_during replace "$W" -r -f "*.js" --find TODO --replace DONE --exclude "node_modules;**/gen/")"
check "replace changed the rest only" "DONE TODO TODO" \
  "$(cat "$T/src/main.js" "$T/src/gen/g.js" "$T/node_modules/lib/x.js" | tr '\n' ' ' | sed 's/ $//')"

# Faults in the lists: exit 2, nothing read.
run_cli search "$W" --find TODO --exclude-from "$(wine_path "$fixture/missing.txt")"
check "missing --exclude-from file" "quorvane-cli: --exclude-from: '$(wine_path "$fixture/missing.txt")' cannot be read 2" "$(head -1 <<<"$err") $rc"
printf 'node_modules/\n\xff\n' >"$fixture/latin.txt"
run_cli search "$W" --find TODO --exclude-from "$(wine_path "$fixture/latin.txt")" /SWEDISH
check "--exclude-from not UTF-8, Swedish" "quorvane-cli: --exclude-from: '$(wine_path "$fixture/latin.txt")' är inte UTF-8-text 2" "$(head -1 <<<"$err") $rc"
run_cli search "$W" --find TODO --exclude
check "--exclude without a value" 2 "$rc"
run_cli undo --exclude x
check "--exclude is not for undo" 2 "$rc"

finish
