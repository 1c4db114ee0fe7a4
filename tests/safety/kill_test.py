"""replace --recursive killed at random moments, again and again, on a tree of
files in every encoding and of every size: after each kill every file's name
holds its complete old or its complete new bytes, nothing is missing, and the
only other things left are TEMP-N.TMP files holding the start of some new
content, or a second name of a file's complete old bytes (kept while the file
was let go for its swap), and the user's own TEMP files, never touched. A last run left alone
first removes the killed runs' TEMP files, then finishes the job: no TEMP file of
any run is left.

Half of the kills are TerminateProcess from another Windows process (the
qv_kill_after helper), half SIGKILL of the Wine process from here. The moments
are spread over the time an uninterrupted run takes, measured first on a copy.
QV_SAFETY_SEED repeats a run's choices; the seed is printed."""

import os
import re
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from safety_support import (seeded_random, CLI, KILL_AFTER, TEMP_NAME, Checks, cli_args, cli_command,
                            encode_file, kill_after,
                            expected_after_replace, fixture_folder, gone_within, parse_apply_result, program_started,
                            read_bytes, remove_tree, require_environment, run, running_programs, win_path,
                            wine_command)

FIND, REPLACE = "hello", "HOWDY"  # the new text holds no "hello": a second run changes nothing more
FILE_COUNT = 210
KILLS = 36
RESET_EVERY = 3  # a fresh tree before every third kill; the kills between resume a killed run's work
SUB_FOLDERS = ["", "sub1", "sub2", os.path.join("sub2", "deeper"), "sub3 with space"]
KINDS = ["utf8bom", "utf8", "utf16le", "ansi", "ascii"]
# Non-ASCII text per kind.
EXTRA_CHARACTERS = {
    "utf8bom": "åäöéü€ß—漢字😀",
    "utf8": "åäöéü€ß—漢字😀",
    "utf16le": "åäöéü€ß—漢字😀Ωж",
    "ansi": "åäöéü€ßÆ©",
    "ascii": "",
}
# The user's own files that look like the program's temporary files: no run and
# no cleanup after a kill may touch them.
USER_TEMPS = {"TEMP-77.TMP": b"the user's own TEMP-77\r\n",
              os.path.join("sub1", "TEMP-1.TMP"): b"the user's own TEMP-1, where a run would start\r\n"}
WORDS = ["alpha", "beta", "gamma", "delta", "lorem", "ipsum", "text", "line", "word", "hell", "ello"]


def make_text(rng, kind, length, with_find):
    lines, size = [], 0
    extra = EXTRA_CHARACTERS[kind]
    while size < length:
        words = [rng.choice(WORDS) for _ in range(rng.randint(3, 12))]
        if extra and rng.random() < 0.3:
            words.insert(rng.randrange(len(words) + 1), rng.choice(extra) * rng.randint(1, 3))
        if with_find and rng.random() < 0.25:
            words.insert(rng.randrange(len(words) + 1), FIND + rng.choice(["", "!", "x"]))
        line = " ".join(words)
        lines.append(line)
        size += len(line) + 2
    if with_find and not any(FIND in line for line in lines):
        lines.insert(rng.randrange(len(lines) + 1), FIND)
    return "\r\n".join(lines)


def make_corpus(rng):
    """relative path -> bytes: FILE_COUNT .txt files of mixed kinds and sizes
    (empty to a few MB), and a few .md files the default filter leaves alone."""
    corpus = {}
    for i in range(FILE_COUNT):
        kind = KINDS[i % len(KINDS)]
        if i < 10:
            length = 0
        elif i < 14:
            length = rng.randint(1_000_000, 3_000_000)
        else:
            length = rng.choice([rng.randint(1, 200), rng.randint(200, 8_000), rng.randint(8_000, 200_000)])
        text = make_text(rng, kind, length, rng.random() < 0.8) if length else ""
        data = encode_file(kind, text)
        if kind == "utf8":
            data.decode("cp1252")  # every byte defined in the ANSI code page (raises otherwise)
        folder = SUB_FOLDERS[rng.randrange(len(SUB_FOLDERS))]
        corpus[os.path.join(folder, f"f{i:03d}-{kind}.txt")] = data
    for i in range(5):
        corpus[os.path.join(SUB_FOLDERS[i], f"notes{i}.md")] = encode_file("ascii", make_text(rng, "ascii", 300, True))
    return corpus


def write_tree(root, corpus, user_temps=()):
    remove_tree(root)
    os.makedirs(root)
    for rel, data in list(corpus.items()) + [(rel, USER_TEMPS[rel]) for rel in user_temps]:
        os.makedirs(os.path.join(root, os.path.dirname(rel)), exist_ok=True)
        with open(os.path.join(root, rel), "wb") as f:
            f.write(data)


class Snapshot:
    """Which files hold their new bytes, and the TEMP files present."""

    def __init__(self, done, temps):
        self.done = done
        self.temps = temps


def inspect_tree(root, corpus, expected):
    """Every way the tree breaks the rule, and its snapshot."""
    problems, done, temps = [], set(), {}
    for rel, old in corpus.items():
        path = os.path.join(root, rel)
        if not os.path.isfile(path):
            problems.append(f"{rel} is missing")
            continue
        data = read_bytes(path)
        if data == expected[rel]:
            done.add(rel)
        elif data != old:
            problems.append(f"{rel} holds neither its old nor its new bytes ({len(data)} bytes; old {len(old)}, "
                            f"new {len(expected[rel])})")
    folders = {os.path.dirname(rel) for rel in corpus}
    for folder, dirs, files in os.walk(root):
        rel_folder = os.path.relpath(folder, root)
        rel_folder = "" if rel_folder == "." else rel_folder
        for d in dirs:
            if os.path.join(rel_folder, d) not in folders:
                problems.append(f"a folder that was not there: {os.path.join(rel_folder, d)}")
        for name in files:
            rel = os.path.join(rel_folder, name)
            if rel in corpus:
                continue
            if rel in USER_TEMPS:
                if read_bytes(os.path.join(folder, name)) != USER_TEMPS[rel]:
                    problems.append(f"the user's own {rel} was changed")
                continue
            if not TEMP_NAME.match(name):
                problems.append(f"a file that was not there: {rel}")
                continue
            data = read_bytes(os.path.join(folder, name))
            temps[rel] = len(data)
            if not any(expected[r].startswith(data) or data == corpus[r]
                       for r in corpus if os.path.dirname(r) == rel_folder):
                problems.append(f"{rel} ({len(data)} bytes) is neither the start of any new content nor any old "
                                f"content in its folder")
    return problems, Snapshot(done, temps)


def kill_by_terminate(root, delay_ms, token=None):
    """qv_kill_after ends the run with TerminateProcess; (killed, helper's line)."""
    line = kill_after(delay_ms, *cli_args("replace", root, "--find", FIND, "--replace", REPLACE, "--recursive"))
    # The helper starts the program itself and ends it: it always exists.
    return line.startswith("terminated"), line, True


def kill_by_signal(root, delay_ms, token):
    """SIGKILL of the Wine process: scripts/wine-exec and the wine launcher both
    exec, so the process started here becomes the Windows process itself. Also
    whether the run was seen among the running programs just before (the check
    that it is gone afterwards relies on seeing it). A kill that lands while the
    process is still the launcher ends a run that never began: not started."""
    process = subprocess.Popen(cli_command("replace", root, "--find", FIND, "--replace", REPLACE, "--recursive"),
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(delay_ms / 1000)
    seen = bool(running_programs(token))
    started = program_started(process.pid)
    if process.poll() is None:
        os.kill(process.pid, signal.SIGKILL)
    rc = process.wait()
    # A run that ended on its own between the look and the signal (its launcher
    # not yet reaped) was not killed, and had nothing to be seen under.
    if rc != -signal.SIGKILL:
        return False, f"ended first (exit code {rc})", seen
    if not started:
        return False, f"SIGKILL after {delay_ms} ms, before the program started", seen
    return True, f"SIGKILL after {delay_ms} ms (exit status {rc})", seen


def measured_run_ms(root, corpus):
    """How long an uninterrupted run takes from here and from qv_kill_after."""
    # The first start of a program under Wine is slower than the others: a run
    # on an empty folder first, so the yardstick is an ordinary start.
    write_tree(root, {})
    run(cli_command("replace", root, "--find", FIND, "--replace", REPLACE))
    write_tree(root, corpus, USER_TEMPS)
    started = time.monotonic()
    own = run(cli_command("replace", root, "--find", FIND, "--replace", REPLACE, "--recursive"))
    from_here = int((time.monotonic() - started) * 1000)
    write_tree(root, corpus, USER_TEMPS)
    _, line, _ = kill_by_terminate(root, 600_000)
    from_helper = int(re.search(r"after (\d+) ms", line)[1])
    return own, from_here, from_helper


def main():
    require_environment()
    rng = seeded_random()
    checks = Checks()
    corpus = make_corpus(rng)
    expected = {rel: (expected_after_replace(data, FIND, REPLACE) if rel.endswith(".txt") else data)
                for rel, data in corpus.items()}
    changing = [rel for rel in corpus if expected[rel] != corpus[rel]]
    print(f"{len(corpus)} files, {sum(map(len, corpus.values())) / 1e6:.1f} MB, {len(changing)} to change")

    with fixture_folder() as fixture:
        token = os.path.basename(fixture)
        root = os.path.join(fixture, "tree")

        # The uninterrupted run on a copy: the yardstick for the kill moments, and
        # proof that the expected bytes are what the program writes.
        own, from_here, from_helper = measured_run_ms(root, corpus)
        print(f"uninterrupted run: {from_here} ms from here, {from_helper} ms from qv_kill_after; {own.out.strip()}")
        problems, snapshot = inspect_tree(root, corpus, expected)
        checks.check("an uninterrupted run changes every file it should, as expected", not problems and
                     snapshot.done == set(corpus) and not snapshot.temps, "; ".join(problems[:10]))

        mid_run, tree_problems, survivors, unseen = 0, [], [], 0
        snapshot = None

        def kill_once(number, by_signal, delay_ms, reset):
            nonlocal mid_run, snapshot, unseen
            if reset:
                write_tree(root, corpus, USER_TEMPS)
                snapshot = Snapshot({rel for rel in corpus if expected[rel] == corpus[rel]}, {})
            killed, how, seen = (kill_by_signal if by_signal else kill_by_terminate)(root, delay_ms, token)
            # In its first moments the Wine process does not yet show under the
            # program's name; only a later kill can be expected to have seen it.
            unseen += killed and not seen and delay_ms >= 200
            survivors.extend(f"kill {number}: {line}" for line in gone_within(token))
            before = snapshot
            problems, snapshot = inspect_tree(root, corpus, expected)
            new_files = len(snapshot.done - before.done)
            new_temps = len(set(snapshot.temps) - set(before.temps))
            landed = killed and (new_files or new_temps) and snapshot.done != set(corpus)
            mid_run += bool(landed)
            print(f"kill {number:2}: {'SIGKILL' if by_signal else 'TerminateProcess'} at {delay_ms} ms: {how}; "
                  f"{new_files} files changed, {new_temps} TEMP files left by this run, "
                  f"{len(snapshot.done)}/{len(corpus)} hold their new bytes")
            tree_problems.extend(f"kill {number}: {problem}" for problem in problems)

        for k in range(KILLS):
            by_signal = k % 2 == 1
            kill_once(k + 1, by_signal, rng.randint(0, from_here if by_signal else from_helper), k % RESET_EVERY == 0)
        # Kills that all fall before the first write or after the end test
        # nothing, and the last run must start with work left and TEMP files
        # lying about. The yardstick was taken once, perhaps while the machine
        # was busier or quieter than now: kills from a fresh tree aim at the
        # middle of the run and move their aim by what the one before showed
        # (earlier when the run ended first, later when nothing was written yet),
        # until both hold.
        aim = {True: from_here, False: from_helper}
        extra = 0
        while (mid_run < KILLS // 6 or snapshot.done == set(corpus) or not snapshot.temps) and extra < 30:
            extra += 1
            by_signal = (KILLS + extra) % 2 == 0
            landed_before = mid_run
            kill_once(KILLS + extra, by_signal, rng.randint(aim[by_signal] * 2 // 5, aim[by_signal] * 4 // 5), True)
            if mid_run == landed_before:
                ended_first = snapshot.done == set(corpus)
                aim[by_signal] = max(50, aim[by_signal] * 2 // 3) if ended_first else aim[by_signal] * 3 // 2

        checks.check(f"after each of {KILLS + extra} kills every file holds its old or new bytes, nothing else but "
                     f"TEMP files of the run", not tree_problems, "\n    ".join(tree_problems[:20]))
        checks.check("every killed run was running just before and is gone after its kill",
                     not survivors and not unseen, f"{unseen} not seen before; still running: {survivors[:5]}")
        # Kills that all fall before the first write or after the end test nothing.
        checks.check(f"kills landed while files were being changed ({mid_run} of {KILLS + extra})",
                     mid_run >= KILLS // 6,
                     "the moments missed the writing: is the measured run much longer than the writing?")
        checks.check("the last run starts with files left to change and TEMP files lying about",
                     snapshot.done != set(corpus) and snapshot.temps)

        # The last run, left alone, finishes the job.
        temps_before = set(snapshot.temps)
        remaining = [rel for rel in changing if rel not in snapshot.done]
        replacements = sum(corpus[rel].decode("utf-16-le" if corpus[rel].startswith(b"\xff\xfe") else "latin-1")
                           .count(FIND) for rel in remaining)
        last = run(cli_command("replace", root, "--find", FIND, "--replace", REPLACE, "--recursive"))
        print(f"last run: exit code {last.rc}: {last.out.strip()} {last.err.strip()}")
        problems, snapshot = inspect_tree(root, corpus, expected)
        checks.check("the last run leaves every file with its new bytes", not problems and snapshot.done == set(corpus),
                     "; ".join(problems[:10]) + f" ({len(set(corpus) - snapshot.done)} files not new)")
        # It first removed what the killed runs left, and only that.
        checks.check("no TEMP file of any run is left after the last run", not snapshot.temps,
                     f"left: {sorted(snapshot.temps)} (of the killed runs: {sorted(set(snapshot.temps) & temps_before)})")
        checks.check("the user's own TEMP files are still there, untouched",
                     all(os.path.isfile(os.path.join(root, rel)) for rel in USER_TEMPS) and not problems)
        result = parse_apply_result(last.out, last.err)
        checks.check("the last run reports the files and replacements that were left",
                     result is not None and result.changed == len(remaining) and result.replaced == replacements
                     and result.skipped == 0 and last.rc == (0 if remaining else 1),
                     f"expected {len(remaining)} files, {replacements} replacements, none skipped; got {result} "
                     f"(exit code {last.rc})")
    checks.finish()


if __name__ == "__main__":
    main()
