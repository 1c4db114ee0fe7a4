"""Another program appends a line to a file every few milliseconds while
replace changes that file again and again: every append the other program saw
succeed must be in the file afterwards. Apply must not put a text it read
before an append in the place of the file after it. The driver names the way
the swap goes here: held through it, or let go with the old file kept under a
second name and the swap undone when it was written to meanwhile."""

import json
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from safety_support import (APPEND_LINES, TEMP_NAME, Checks, Started, cli_command, fixture_folder, read_bytes,
                            require_environment, run, stop, win_path, wine_command)

# Each run holds the file for the whole of its reading and writing, so appends
# meet it again and again, and many runs meet the moment of the swap.
RUNS = 100
# Big enough that reading, replacing and writing it takes a while: appends land
# inside that window.
FILLER_LINES = 20_000
SWAP_PATH = os.environ.get("QV_SWAP_PATH", "")


def main():
    require_environment()
    checks = Checks()
    with fixture_folder() as folder:
        target = os.path.join(folder, "log.txt")
        with open(target, "wb") as f:
            f.write(b"".join(b"entry %d alpha\r\n" % i for i in range(FILLER_LINES)))
        if SWAP_PATH:
            probe = run(wine_command(SWAP_PATH, win_path(folder)))
            print(f"swap path: {probe.out.strip() or 'unknown (probe exit ' + str(probe.rc) + ')'}")
        appender = Started(wine_command(APPEND_LINES, win_path(target), "2", "5"), stdin=subprocess.PIPE)
        results = []
        try:
            if not appender.wait_for_line("ready"):
                raise AssertionError(f"the appender did not start: {appender.output()}")
            for i in range(RUNS):
                find, replace = ("alpha", "beta") if i % 2 == 0 else ("beta", "alpha")
                done = run(cli_command("replace", folder, "--find", find, "--replace", replace, "--json"))
                results.append((done.rc, json_lines(done.out), done.out.strip()[-300:]))
        finally:
            report = stop(appender).out

        succeeded, failed = [], []
        for line in report.splitlines():
            if line.startswith("succeeded:"):
                succeeded = [int(n) for n in line.split()[1:]]
            elif line.startswith("failed:"):
                failed = [int(n) for n in line.split()[1:]]
        summaries = [next((line["summary"] for line in lines if "summary" in line), None) for _, lines, _ in results]
        reasons = [line.get("reason") for _, lines, _ in results for line in lines if line.get("status") == "skipped"]
        changed_runs = sum(1 for summary in summaries if summary and summary["changed"] == 1)
        print(f"{len(succeeded)} appends succeeded, {len(failed)} failed; {changed_runs} of {RUNS} runs changed "
              f"the file; skipped for: {', '.join(f'{reasons.count(r)} {r}' for r in sorted(set(reasons))) or 'none'}")
        checks.check("every run reported a result", all(summaries),
                     "; ".join(out for (_, _, out), summary in zip(results, summaries) if not summary))
        # Held by the appender when the run came to it, held in the moment of the
        # swap (which the system then refuses), written to in that moment.
        checks.check("a run that skipped the file says why, and only for another program's part",
                     set(reasons) <= {"locked", "write-failed", "changed-meanwhile", "changed-during-write"},
                     str(sorted(set(reasons))))
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


def json_lines(out):
    """The objects of --json's lines; a line that is not one is left out."""
    objects = []
    for line in out.splitlines():
        try:
            objects.append(json.loads(line))
        except ValueError:
            pass
    return objects


if __name__ == "__main__":
    main()
