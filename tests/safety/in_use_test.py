"""Files another program holds open, in every sharing mode and encoding, while
replace runs: each stays byte for byte as it was and is counted skipped, the
free files beside them change, a read-only file is left alone and counted
skipped too. search in automatic mode reads a held UTF-16 file as UTF-16."""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from safety_support import (TEMP_NAME, Checks, cli_command, encode_file, expected_after_replace, fixture_folder,
                            holding, parse_apply_result, parse_search_listing, read_bytes, require_environment, run,
                            win_path)

FIND, REPLACE = "hello", "HOWDY"
ENCODINGS = ["utf16le", "utf8bom", "ansi"]
# How the other program opened the file: its sharing and the access that goes
# with it (an editor that locks, a viewer, a reader that allows deletion, a log
# writer that shares everything).
HOLDS = [
    ("none", "rw", "no sharing"),
    ("r", "r", "read sharing"),
    ("rd", "r", "read+delete sharing"),
    ("rwd", "rw", "read+write+delete sharing"),
]


def text_for(encoding, label):
    accent = {"utf16le": "Ωж漢", "utf8bom": "åäö€漢", "ansi": "åäö€"}[encoding]
    return f"{label}\r\nhello {accent} world\r\nsay hello, hello again\r\n"


def write_files(folder, files):
    for name, data in files.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


def count_of(text, data):
    """Occurrences of text in a file's bytes (UTF-16 by its mark, else one byte a character)."""
    return data.decode("utf-16-le" if data.startswith(b"\xff\xfe") else "latin-1").count(text)


def check_run(checks, label, folder, untouched, free, result):
    """The files that must stay as they were, the free ones that must change,
    the counts replace reports, and no TEMP file left."""
    for name, data in untouched.items():
        now = read_bytes(os.path.join(folder, name))
        checks.check(f"{label}: {name} is unchanged", now == data,
                     f"{len(data)} bytes before, {len(now)} after: {now[:60]!r}")
    for name, data in free.items():
        now = read_bytes(os.path.join(folder, name))
        checks.check(f"{label}: {name}, free, is changed", now == expected_after_replace(data, FIND, REPLACE),
                     f"now {now[:80]!r}")
    leftovers = [name for name in os.listdir(folder) if TEMP_NAME.match(name)]
    checks.check(f"{label}: no TEMP file is left", not leftovers, f"left: {leftovers}")
    wanted = (len(free), sum(count_of(FIND, data) for data in free.values()), len(untouched))
    counts = parse_apply_result(result.out, result.err)
    checks.check(f"{label}: replace reports {wanted[0]} files changed, {wanted[1]} replacements, {wanted[2]} skipped",
                 counts == wanted and result.rc == 0, f"got {counts}, exit code {result.rc}: {result.out.strip()!r}")


def main():
    require_environment()
    checks = Checks()
    free = {f"free-{encoding}.txt": encode_file(encoding, text_for(encoding, f"free-{encoding}.txt"))
            for encoding in ENCODINGS}
    for share, access, how in HOLDS:
        label = f"held with {how} ({access} access)"
        with fixture_folder() as folder:
            held = {f"held-{encoding}.txt": encode_file(encoding, text_for(encoding, f"held-{encoding}.txt"))
                    for encoding in ENCODINGS}
            write_files(folder, held | free)
            with holding([(access, share, os.path.join(folder, name)) for name in held]):
                result = run(cli_command("replace", folder, "--find", FIND, "--replace", REPLACE))
                listing = run(cli_command("search", folder, "--find", FIND)) if share != "none" else None
            print(f"{label}: replace: exit code {result.rc}: {result.out.strip()} {result.err.strip()}")
            check_run(checks, label, folder, held, free, result)
            if listing:
                # search reads a file that others may read in its own encoding: a
                # held UTF-16 file is still UTF-16.
                listed = dict(parse_search_listing(listing.out))
                count = listed.get(win_path(os.path.join(folder, "held-utf16le.txt")))
                checks.check(f"{label}: search counts held-utf16le.txt as UTF-16 (3)", count == 3,
                             f"listed with {count}; search printed {listing.out.strip()!r}")

    with fixture_folder() as folder:
        read_only = {"read-only.txt": encode_file("ansi", "read only hello\r\n")}
        write_files(folder, read_only | free)
        os.chmod(os.path.join(folder, "read-only.txt"), 0o444)
        result = run(cli_command("replace", folder, "--find", FIND, "--replace", REPLACE))
        print(f"read-only: replace: exit code {result.rc}: {result.out.strip()} {result.err.strip()}")
        check_run(checks, "read-only", folder, read_only, free, result)
    checks.finish()


if __name__ == "__main__":
    main()
