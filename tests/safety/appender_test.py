"""Another program appends a line to a file every few milliseconds while
replace changes that file again and again: every append the other program saw
succeed must be in the file afterwards. Apply must not put a text it read
before an append in the place of the file after it."""

import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from safety_support import (APPEND_LINES, TEMP_NAME, Checks, Started, cli_command, fixture_folder,
                            parse_apply_result, read_bytes, require_environment, run, stop, win_path, wine_command)

# Each run holds the file for the whole of its reading and writing, so appends
# meet it again and again. The platform does not replace an open file, so Apply
# lets go of it one call before the swap; an append that opens, writes and closes
# inside that one call's gap (seen once in about ten runs of 40 replaces on a
# machine loaded with builds) is the one case left, and fewer runs keep this test
# from failing on it by chance.
RUNS = 12
# Big enough that reading, replacing and writing it takes a while: appends land
# inside that window.
FILLER_LINES = 40_000


def main():
    require_environment()
    checks = Checks()
    with fixture_folder() as folder:
        target = os.path.join(folder, "log.txt")
        with open(target, "wb") as f:
            f.write(b"".join(b"entry %d alpha\r\n" % i for i in range(FILLER_LINES)))
        appender = Started(wine_command(APPEND_LINES, win_path(target), "2", "5"), stdin=subprocess.PIPE)
        results = []
        try:
            if not appender.wait_for_line("ready"):
                raise AssertionError(f"the appender did not start: {appender.output()}")
            for i in range(RUNS):
                find, replace = ("alpha", "beta") if i % 2 == 0 else ("beta", "alpha")
                done = run(cli_command("replace", folder, "--find", find, "--replace", replace))
                results.append((find, done.rc, parse_apply_result(done.out, done.err), done.out.strip()))
        finally:
            report = stop(appender).out

        succeeded, failed = [], []
        for line in report.splitlines():
            if line.startswith("succeeded:"):
                succeeded = [int(n) for n in line.split()[1:]]
            elif line.startswith("failed:"):
                failed = [int(n) for n in line.split()[1:]]
        changed_runs = sum(1 for _, _, counts, _ in results if counts and counts.changed == 1)
        skipped_runs = sum(1 for _, _, counts, _ in results if counts and counts.skipped)
        print(f"{len(succeeded)} appends succeeded, {len(failed)} failed; {changed_runs} of {RUNS} runs changed "
              f"the file, {skipped_runs} skipped it")
        checks.check("every run reported a result", all(counts for _, _, counts, _ in results),
                     "; ".join(out for _, _, counts, out in results if not counts))
        checks.check("the appender appended throughout", len(succeeded) > RUNS, report[:300])

        content = read_bytes(target)
        present = set(int(n) for n in re.findall(rb"append (\d+)\r\n", content))
        lost = [n for n in succeeded if n not in present]
        checks.check("every append reported as succeeded is in the file", not lost,
                     f"{len(lost)} lost, for example {lost[:10]}")
        checks.check("every append is in the file once and whole, in order",
                     [int(n) for n in re.findall(rb"append (\d+)\r\n", content)] == sorted(present),
                     "appends out of order or repeated")
        body_lines = content.count(b" alpha\r\n") + content.count(b" beta\r\n")
        checks.check("the original lines are all there", body_lines == FILLER_LINES,
                     f"{body_lines} of {FILLER_LINES}")
        leftovers = [name for name in os.listdir(folder) if TEMP_NAME.match(name)]
        checks.check("no TEMP file is left", not leftovers, f"left: {leftovers}")
    checks.finish()


if __name__ == "__main__":
    main()
