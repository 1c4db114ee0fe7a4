"""Two replace runs of "hello" -> "hello!" started together on one folder:
whatever each run managed, what they report must be what is on the disk. Every
replacement reported is one "!" in a file (a run that put its text over the
other's would report a change the disk lost), every file holds its text with
each "hello" followed by the same number of "!", and no TEMP file is left."""

import os
import random
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from safety_support import (TEMP_NAME, Checks, Started, cli_command, fixture_folder, parse_apply_result, read_bytes,
                            require_environment)

FILES = 300
ROUNDS = 5


def main():
    require_environment()
    checks = Checks()
    rng = random.Random(20240517)
    originals = {}
    for i in range(FILES):
        if i % 60 == 0:
            # Every 60th file, the first among them, is large: a run spends long
            # enough on it that the other, a little behind, arrives while it is
            # still there.
            lines = [f"line {n} of file {i}: hello" for n in range(rng.randint(100_000, 150_000))]
        else:
            lines = [f"line {n} of file {i}" for n in range(rng.randint(20, 400))]
            for _ in range(rng.randint(1, 5)):
                lines.insert(rng.randrange(len(lines) + 1), "say hello there")
        originals[f"file{i:03d}.txt"] = ("\r\n".join(lines) + "\r\n").encode("ascii")

    for round_number in range(1, ROUNDS + 1):
        with fixture_folder() as folder:
            for name, data in originals.items():
                with open(os.path.join(folder, name), "wb") as f:
                    f.write(data)
            command = cli_command("replace", folder, "--find", "hello", "--replace", "hello!")
            runs = [Started(command) for _ in range(2)]
            outputs = []
            for started in runs:
                outputs.append(started.wait())
                started.close()
            results = [parse_apply_result(done.out, done.err) for done in outputs]
            print(f"round {round_number}: " + " | ".join(done.out.strip() for done in outputs))
            if not checks.check(f"round {round_number}: both runs report a result", all(results),
                                f"{outputs}"):
                continue

            marks_on_disk, changes_on_disk, torn = 0, 0, []
            for name, data in originals.items():
                now = read_bytes(os.path.join(folder, name))
                times = 2 if b"hello!!" in now else 1 if b"hello!" in now else 0
                if now != data.replace(b"hello", b"hello" + b"!" * times):
                    torn.append(name)
                marks_on_disk += now.count(b"!")
                changes_on_disk += times
            reported = sum(result.replaced for result in results)
            reported_files = sum(result.changed for result in results)
            each = " + ".join(str(result.replaced) for result in results)
            checks.check(f"round {round_number}: the replacements reported ({each} = {reported}) are the \"!\" on "
                         f"disk ({marks_on_disk})", reported == marks_on_disk,
                         f"{reported - marks_on_disk} replacements reported that the disk does not hold")
            checks.check(f"round {round_number}: the file changes reported ({reported_files}) are those on disk "
                         f"({changes_on_disk})", reported_files == changes_on_disk)
            checks.check(f"round {round_number}: every file holds its text with each hello changed alike", not torn,
                         f"{len(torn)} files, for example {torn[:5]}")
            leftovers = [name for name in os.listdir(folder) if TEMP_NAME.match(name)]
            checks.check(f"round {round_number}: no TEMP file is left", not leftovers, f"left: {leftovers[:10]}")
    checks.finish()


if __name__ == "__main__":
    main()
