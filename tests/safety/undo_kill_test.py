"""Undo after kills, each command a new quorvane-cli process under Wine.

Kill during Apply: replace --recursive over a tree of files in every encoding
and size (empty files and device names among them) is killed at a seeded
random moment; an undo afterwards brings every file back to its old bytes, and
the journal is empty again. The only other things left are the TEMP-N.TMP
files of the killed run, each the start of some new content.

Kill during undo: a whole replace, then an undo killed at a random moment:
every file holds its old or its new bytes; a second undo completes the first,
and every file holds its old bytes.

Half of the kills are TerminateProcess from another Windows process (the
qv_kill_after helper), half SIGKILL of the Wine process from here. The moments
are spread over the time an uninterrupted run takes, measured first.
QV_SAFETY_SEED repeats a run's choices; the seed is printed."""

import os
import re
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from kill_test import FIND, REPLACE, make_corpus, write_tree
from safety_support import (seeded_random, CLI, KILL_AFTER, TEMP_NAME, Checks, cli_args,
                            expected_after_replace, fixture_folder, kill_after,
                            gone_within, program_started, read_bytes, require_environment, run, wine_command,
                            win_path)

KILLS_DURING_APPLY = 10
KILLS_DURING_UNDO = 10
_RESTORED = re.compile(r"Done\. Files restored: (\d+)\.(?: Changed since and left untouched: (\d+)\.)?")


def replace_args(root):
    return cli_args("replace", root, "--find", FIND, "--replace", REPLACE, "--recursive")


UNDO_ARGS = ["undo", "/ENGLISH"]


def kill_during(args, delay_ms, by_signal, token):
    """Runs quorvane-cli ARGS and kills it after delay_ms; (killed, description)."""
    if not by_signal:
        line = kill_after(delay_ms, *args)
        return line.startswith("terminated"), line
    process = subprocess.Popen(wine_command(CLI, *args), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(delay_ms / 1000)
    started = program_started(process.pid)
    if process.poll() is None:
        os.kill(process.pid, signal.SIGKILL)
    rc = process.wait()
    if survivors := gone_within(token):
        raise AssertionError(f"the killed program is still running: {survivors}")
    if rc != -signal.SIGKILL:
        return False, f"ended first (exit code {rc})"
    if not started:
        return False, f"SIGKILL after {delay_ms} ms, before the program started"
    return True, f"SIGKILL after {delay_ms} ms (exit status {rc})"


def tree_problems(root, corpus, expected, allowed):
    """Every file of the corpus must hold one of allowed(rel) (a set of byte
    strings); besides them only TEMP-N.TMP files (a killed run's) that start the
    old or the new content of a file in their folder."""
    problems = []
    for rel, old in corpus.items():
        path = os.path.join(root, rel)
        if not os.path.isfile(path):
            problems.append(f"{rel} is missing")
        elif read_bytes(path) not in allowed(rel):
            problems.append(f"{rel} holds bytes it should not ({len(read_bytes(path))} bytes, old {len(old)})")
    for folder, _, files in os.walk(root):
        rel_folder = os.path.relpath(folder, root)
        rel_folder = "" if rel_folder == "." else rel_folder
        for name in files:
            rel = os.path.join(rel_folder, name)
            if rel in corpus:
                continue
            data = read_bytes(os.path.join(folder, name))
            if not TEMP_NAME.match(name) or not any(
                    content.startswith(data) for r in corpus if os.path.dirname(r) == rel_folder
                    for content in (corpus[r], expected[r])):
                problems.append(f"a file that was not there: {rel} ({len(data)} bytes)")
    return problems


def timed(command):
    started = time.monotonic()
    done = run(command)
    return done, int((time.monotonic() - started) * 1000)


def main():
    require_environment()
    rng = seeded_random()
    checks = Checks()
    corpus = make_corpus(rng)
    corpus["aux.txt"] = b"hello from a device name"
    corpus[os.path.join("sub1", "con.txt")] = b"\xef\xbb\xbfhello\r\nhello"
    expected = {rel: (expected_after_replace(data, FIND, REPLACE) if rel.endswith(".txt") else data)
                for rel, data in corpus.items()}
    changing = [rel for rel in corpus if expected[rel] != corpus[rel]]
    print(f"{len(corpus)} files, {sum(map(len, corpus.values())) / 1e6:.1f} MB, {len(changing)} to change")
    old_only = lambda rel: {corpus[rel]}  # noqa: E731
    old_or_new = lambda rel: {corpus[rel], expected[rel]}  # noqa: E731

    with fixture_folder() as fixture:
        token = os.path.basename(fixture)
        root = os.path.join(fixture, "tree")
        # Yardsticks: an uninterrupted replace and undo (after a first start of
        # Wine, which is slower than the others).
        write_tree(root, {})
        run(wine_command(CLI, *replace_args(root)))
        write_tree(root, corpus)
        _, replace_ms = timed(wine_command(CLI, *replace_args(root)))
        undone, undo_ms = timed(wine_command(CLI, *UNDO_ARGS))
        print(f"uninterrupted: replace {replace_ms} ms, undo {undo_ms} ms: {undone.out.strip()}")
        match = _RESTORED.search(undone.out)
        checks.check("an uninterrupted undo restores every changed file",
                     undone.rc == 0 and match and int(match[1]) == len(changing)
                     and not tree_problems(root, corpus, expected, old_only), f"{undone}")

        # The kills fall at random moments of the yardstick's run; a moment that
        # fell before the first write or after the last tests little, and the
        # yardstick was taken once, on a machine that may be busier or quieter
        # now. When too few landed, more kills aim at the middle of the run and
        # move their aim by what the one before showed, until enough have.
        def outcome(killed, how, done):
            if killed and 0 < done < len(changing):
                return "landed"
            return "early" if (killed and done == 0) or "before the program started" in how else "late"

        def kill_until_landed(kill, yardstick_ms, planned, landed_so_far):
            """planned kills at random moments of the yardstick's run, then kills
            aimed at its middle until a quarter of planned have landed (bounded)."""
            for _ in range(planned):
                kill(rng.randint(0, yardstick_ms))
            aim, tries = yardstick_ms, planned
            while landed_so_far() < planned // 4 and tries < 3 * planned:
                tries += 1
                result = kill(rng.randint(aim * 2 // 5, aim * 4 // 5))
                aim = aim if result == "landed" else max(50, aim * 2 // 3) if result == "late" else aim * 3 // 2

        apply_problems, landed, kills = [], 0, 0

        def kill_apply(delay):
            nonlocal landed, kills
            kills += 1
            write_tree(root, corpus)
            by_signal = kills % 2 == 0
            killed, how = kill_during(replace_args(root), delay, by_signal, token)
            changed = sum(read_bytes(os.path.join(root, rel)) != corpus[rel] for rel in changing)
            undo = run(wine_command(CLI, *UNDO_ARGS))
            match = _RESTORED.search(undo.out)
            restored = int(match[1]) if match else 0
            landed += killed and 0 < changed < len(changing)
            print(f"apply kill {kills:2}: {how}; {changed} files had changed; undo: exit code {undo.rc}, "
                  f"{undo.out.strip() or undo.err.strip()}")
            problems = tree_problems(root, corpus, expected, old_only)
            if undo.rc not in (0, 1) or (undo.rc == 1 and (changed or "nothing to undo" not in undo.err)) \
                    or restored < changed:
                problems.append(f"undo: exit code {undo.rc}, {undo.out!r} {undo.err!r}")
            left = run(wine_command(CLI, "undo", "--list", "/ENGLISH"))
            if left.rc != 1:
                problems.append(f"runs left in the journal: {left.out!r}")
            apply_problems.extend(f"apply kill {kills}: {problem}" for problem in problems)
            return outcome(killed, how, changed)

        kill_until_landed(kill_apply, replace_ms, KILLS_DURING_APPLY, lambda: landed)
        checks.check(f"after each of {kills} kills during Apply an undo brings every file back",
                     not apply_problems, "\n    ".join(apply_problems[:20]))
        checks.check(f"kills landed while files were being changed ({landed} of {kills})",
                     landed >= KILLS_DURING_APPLY // 4)

        undo_problems, landed, kills = [], 0, 0

        def kill_undo(delay):
            nonlocal landed, kills
            kills += 1
            write_tree(root, corpus)
            replaced = run(wine_command(CLI, *replace_args(root)))
            if tree_problems(root, corpus, expected, lambda rel: {expected[rel]}):
                undo_problems.append(f"undo kill {kills}: the replace did not finish: {replaced}")
                return "landed"  # nothing to aim by
            by_signal = kills % 2 == 1
            killed, how = kill_during(UNDO_ARGS, delay, by_signal, token)
            restored = sum(read_bytes(os.path.join(root, rel)) == corpus[rel] for rel in changing)
            landed += killed and 0 < restored < len(changing)
            problems = [f"after the kill: {p}" for p in tree_problems(root, corpus, expected, old_or_new)]
            second = run(wine_command(CLI, *UNDO_ARGS))
            match = _RESTORED.search(second.out)
            print(f"undo kill {kills:2}: {how}; {restored} files were back; second undo: exit code {second.rc}, "
                  f"{second.out.strip() or second.err.strip()}")
            problems += tree_problems(root, corpus, expected, old_only)
            finished_first = restored == len(changing) and second.rc == 1 and "nothing to undo" in second.err
            if not finished_first and not (second.rc == 0 and match and int(match[1]) == len(changing)):
                problems.append(f"second undo: exit code {second.rc}, {second.out!r} {second.err!r}")
            undo_problems.extend(f"undo kill {kills}: {problem}" for problem in problems)
            return outcome(killed, how, restored)

        kill_until_landed(kill_undo, undo_ms, KILLS_DURING_UNDO, lambda: landed)
        checks.check(f"after each of {kills} kills during undo a second undo completes it",
                     not undo_problems, "\n    ".join(undo_problems[:20]))
        checks.check(f"kills landed while files were being restored ({landed} of {kills})",
                     landed >= KILLS_DURING_UNDO // 4)
    checks.finish()


if __name__ == "__main__":
    main()
