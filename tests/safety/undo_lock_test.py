"""One undo at a time, and undo again for the files left, each command a new
quorvane-cli process under Wine.

While another program holds the undo journal's lock, undo touches nothing and
says another undo is running (exit code 1, both languages). A file held open by
another program during an undo is left, its run stays in the journal, and the
next undo restores it. Two undos started at once: the files all go back and no
file is ever called open in another program."""

import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from safety_support import (CLI, UNDO_JOURNAL, Checks, Started, cli_args, cli_command, fixture_folder, holding,
                            read_bytes, require_environment, run, wine_command)


def unix_path(win):
    return win[2:].replace("\\", "/") if win[:2].upper() == "Z:" else win


def write(folder, files):
    for name, text in files.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(text)


def contents(folder, names):
    return {name: read_bytes(os.path.join(folder, name)) for name in names}


def main():
    require_environment()
    checks = Checks()
    journal = unix_path(UNDO_JOURNAL)
    lock = os.path.join(journal, "undo.lock")
    undo = wine_command(CLI, "undo", "/ENGLISH")

    with fixture_folder() as folder:
        old = {"a.txt": b"apple a", "b.txt": b"apple b"}
        write(folder, old)
        run(cli_command("replace", folder, "--find", "apple", "--replace", "pear"))
        changed = contents(folder, old)
        os.makedirs(journal, exist_ok=True)
        open(lock, "ab").close()
        with holding([("rw", "none", lock)]):
            busy = run(undo)
            busy_sv = run(wine_command(CLI, "undo", "/SWEDISH"))
        checks.check("a second undo says another is running, exit code 1",
                     busy.rc == 1 and busy.err.strip() == "quorvane-cli: another undo is already running"
                     and busy.out == "", f"exit code {busy.rc}: {busy.out!r} {busy.err!r}")
        checks.check("the same in Swedish", busy_sv.err.strip() == "quorvane-cli: en annan ångring pågår redan",
                     repr(busy_sv.err))
        checks.check("while the lock is held no file changes", contents(folder, old) == changed)

        # A file held open: left, the run stays, the next undo restores it.
        with holding([("r", "none", os.path.join(folder, "b.txt"))]):
            first = run(undo)
        checks.check("a held file is left and named, the run stays",
                     first.rc == 1 and first.out.strip() == "Done. Files restored: 1. Changed since and left untouched: 1."
                     and "b.txt (left untouched: open in another program)" in first.err
                     and "quorvane-cli: the run stays in the undo journal: undo again to retry the files left" in first.err,
                     f"exit code {first.rc}: {first.out!r} {first.err!r}")
        second = run(undo)
        checks.check("the next undo restores it", second.rc == 0 and contents(folder, old) == old,
                     f"exit code {second.rc}: {second.out!r} {second.err!r}")
        third = run(undo)
        checks.check("then the run has left the journal", third.err.strip() == "quorvane-cli: nothing to undo",
                     repr(third.err))

    # Two undos at once over one run of many files.
    with fixture_folder() as folder:
        old = {f"f{i:03}.txt": b"apple %d" % i for i in range(300)}
        write(folder, old)
        run(cli_command("replace", folder, "--find", "apple", "--replace", "pear"))
        both = [Started(undo), Started(undo)]
        results = [started.wait(300) for started in both]
        for started in both:
            started.close()
        allowed = ("quorvane-cli: another undo is already running", "quorvane-cli: nothing to undo")
        for n, done in enumerate(results, 1):
            print(f"undo {n}: exit code {done.rc}: {done.out.strip()} {done.err.strip()}")
            checks.check(f"undo {n} of two at once restores or says why not, naming no file open elsewhere",
                         "open in another program" not in done.err
                         and (done.out.startswith("Done. Files restored:") or done.err.strip() in allowed),
                         f"{done.out!r} {done.err!r}")
        checks.check("two undos at once: every file back", contents(folder, old) == old)
    checks.finish()


if __name__ == "__main__":
    main()
