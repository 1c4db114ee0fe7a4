"""What the data-safety drivers share: starting quorvane-cli and the helper
programs under Wine, reading the program's result, fixture folders, the bytes a
file must hold after a replacement, and the pass/fail bookkeeping.

The drivers are run by CTest with QV_CLI, QV_HOLD_FILE, QV_APPEND_LINES,
QV_KILL_AFTER and QV_WINE_EXEC in the environment (see extra.cmake)."""

import atexit
import contextlib
import os
import re
import shutil
import stat
import subprocess
import sys
import tempfile
import time
from typing import NamedTuple, Optional

CLI = os.environ.get("QV_CLI", "")
HOLD_FILE = os.environ.get("QV_HOLD_FILE", "")
APPEND_LINES = os.environ.get("QV_APPEND_LINES", "")
KILL_AFTER = os.environ.get("QV_KILL_AFTER", "")
WINE_EXEC = os.environ.get("QV_WINE_EXEC", "")

# Every fixture folder's name starts with this, so a program still running on
# one can be found by its command line.
FIXTURE_PREFIX = "qvsafety."


def _private_undo_journal():
    """Every run of a driver records its files in an undo journal of its own,
    removed when the driver ends, unless the caller chose the journal's folder."""
    if os.environ.get("QV_UNDO_DIR"):
        return os.environ["QV_UNDO_DIR"]
    folder = tempfile.mkdtemp(prefix=FIXTURE_PREFIX + "undo.")
    atexit.register(lambda: remove_tree(folder))
    os.environ["QV_UNDO_DIR"] = win_path(os.path.join(folder, "journal"))
    return os.environ["QV_UNDO_DIR"]


def seeded_random():
    """A random source from QV_SAFETY_SEED, or a new seed that is printed so the
    run can be repeated."""
    import random
    seed = int(os.environ.get("QV_SAFETY_SEED", str(time.time_ns() % 1_000_000_007)))
    print(f"seed {seed} (QV_SAFETY_SEED={seed} repeats this run)")
    return random.Random(seed)


def require_environment():
    missing = [name for name, value in (("QV_CLI", CLI), ("QV_HOLD_FILE", HOLD_FILE),
                                        ("QV_APPEND_LINES", APPEND_LINES), ("QV_KILL_AFTER", KILL_AFTER),
                                        ("QV_WINE_EXEC", WINE_EXEC)) if not value]
    if missing:
        sys.exit("run through CTest: missing " + ", ".join(missing))


def win_path(path):
    """The path as Wine shows it: drive Z: is the Linux root."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def wine_command(program, *args):
    return [WINE_EXEC, program, *args]


def cli_args(command, folder, *options):
    """The arguments of quorvane-cli COMMAND FOLDER OPTIONS..., in English."""
    return [command, win_path(folder), *options, "/ENGLISH"]


def cli_command(command, folder, *options):
    return wine_command(CLI, *cli_args(command, folder, *options))


class RunOutput(NamedTuple):
    rc: int
    out: str
    err: str
    seconds: float


class Started:
    """A process whose output goes to files, not pipes: the first Wine program of
    a session starts Wine's own background programs (the desktop, services), and
    they inherit its handles and outlive it, so a pipe would never reach its end."""

    def __init__(self, command, stdin=None):
        self.out_file = tempfile.TemporaryFile()
        self.err_file = tempfile.TemporaryFile()
        self.started = time.monotonic()
        self.process = subprocess.Popen(command, stdin=stdin, stdout=self.out_file, stderr=self.err_file)

    def wait(self, timeout=180):
        try:
            rc = self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
            raise
        return RunOutput(rc, *self.output(), time.monotonic() - self.started)

    def output(self):
        texts = []
        for file in (self.out_file, self.err_file):
            file.seek(0)
            texts.append(file.read().decode("utf-8", "replace").replace("\r", ""))
        return texts

    def wait_for_line(self, wanted, timeout=60):
        """Waits until the output holds the line wanted; False when the process
        ended or the time ran out first."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if wanted in self.output()[0].splitlines():
                return True
            if self.process.poll() is not None:
                return wanted in self.output()[0].splitlines()
            time.sleep(0.02)
        return False

    def close(self):
        self.out_file.close()
        self.err_file.close()


def run(command, timeout=180):
    """Runs a command to its end. A start that Wine did not carry out is reported
    and tried once more: an exit code above 2 without output, or no output at
    all (the program always prints something; Wine's own errors are silenced)."""
    for attempt in (1, 2):
        started = Started(command)
        try:
            done = started.wait(timeout)
        finally:
            started.close()
        if (done.rc <= 2 or done.out) and (done.out or done.err) or attempt == 2:
            return done
        print(f"note: no run of the program (exit code {done.rc}, stderr: {done.err[:300]!r}); once more")
    raise AssertionError("unreachable")


def kill_after(delay_ms, *cli_arguments):
    """Runs quorvane-cli through qv_kill_after, which ends it with TerminateProcess
    after delay_ms; its last "terminated after"/"ended after" line. A start that
    Wine refused (the helper says "cannot start: error N") ran nothing and is
    made again, a few times, so a refused start is never taken for a result."""
    for attempt in range(1, 4):
        done = run(wine_command(KILL_AFTER, str(delay_ms), win_path(CLI), *cli_arguments))
        lines = [line for line in done.out.splitlines() if re.match(r"(terminated|ended) after", line)]
        if done.rc == 0 and lines:
            return lines[-1]
        if not done.out.startswith("cannot start:") or attempt == 3:
            raise AssertionError(f"qv_kill_after failed: exit code {done.rc}, output {done.out!r} {done.err!r}")
        print(f"note: Wine did not start the program ({done.out.strip()}); once more")
    raise AssertionError("unreachable")


class ApplyResult(NamedTuple):
    changed: int
    replaced: int
    skipped: int


_NUMBER = r"(\d[\d,\u00a0\u202f]*)"
_DONE = re.compile(r"Done\. Number of files that were changed: " + _NUMBER + r"\. In total " + _NUMBER +
                   r" replacement\(s\)\.(?: Number of skipped files: " + _NUMBER + r"\.)?")
_NONE = re.compile(r"No files were changed\.(?: Number of skipped files: " + _NUMBER + r"\.)?")


def parse_apply_result(out, err="") -> Optional[ApplyResult]:
    """The counts of replace's result line, looked for on standard output and
    then on standard error; None when neither has one. Numbers may carry
    thousands separators."""
    def number(text):
        return int(re.sub(r"\D", "", text)) if text else 0

    for stream in (out, err):
        for line in stream.splitlines():
            if match := _DONE.search(line):
                return ApplyResult(number(match[1]), number(match[2]), number(match[3]))
            if match := _NONE.search(line):
                return ApplyResult(0, 0, number(match[1]))
    return None


_LISTED = re.compile(r"^(.*) \((\d[\d,\u00a0\u202f]*|N/A)\)$")


def parse_search_listing(out):
    """search's lines "full path (count)" as (path, count) pairs, in order."""
    listed = []
    for line in out.splitlines():
        if match := _LISTED.match(line):
            listed.append((match[1], 0 if match[2] == "N/A" else int(re.sub(r"\D", "", match[2]))))
    return listed


class Checks:
    """Named sub-results, printed as they come; the driver's exit code says
    whether all of them held."""

    def __init__(self):
        self.failed = []
        self.passed = 0

    def check(self, name, ok, detail=""):
        if ok:
            self.passed += 1
            print(f"ok: {name}")
        else:
            self.failed.append(name)
            print(f"FAILED: {name}" + (f"\n    {detail}" if detail else ""))
        return ok

    def finish(self):
        print(f"{self.passed} passed, {len(self.failed)} failed")
        for name in self.failed:
            print(f"  failed: {name}")
        sys.exit(1 if self.failed else 0)


@contextlib.contextmanager
def fixture_folder():
    """A fresh folder under the system's temporary folder, removed afterwards
    with everything in it (read-only entries included)."""
    folder = tempfile.mkdtemp(prefix=FIXTURE_PREFIX)
    try:
        yield folder
    finally:
        remove_tree(folder)


def remove_tree(folder):
    def make_writable_and_retry(function, path, _):
        os.chmod(os.path.dirname(path), stat.S_IRWXU)
        if not os.path.islink(path) and os.path.exists(path):
            os.chmod(path, stat.S_IRWXU)
        function(path)

    if os.path.lexists(folder):
        shutil.rmtree(folder, onerror=make_writable_and_retry)


def running_programs(token):
    """Processes whose command line mentions token (a fixture folder's name):
    a program that was ended must not be among them."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit() or int(entry) == os.getpid():
            continue
        try:
            with open(f"/proc/{entry}/cmdline", "rb") as f:
                line = f.read().replace(b"\0", b" ").decode("utf-8", "replace")
        except OSError:
            continue
        if token in line:
            found.append(f"{entry}: {line[:200]}")
    return found


def gone_within(token, timeout=20):
    """Waits until no process mentions token any more; those still there when the
    time is up. A killed launcher's own short-lived children (a shell's command
    substitutions) and a Windows process the Wine server is still tearing down
    take a moment to go: one look right after a kill decides nothing."""
    deadline = time.monotonic() + timeout
    while True:
        found = running_programs(token)
        if not found or time.monotonic() > deadline:
            return found
        time.sleep(0.05)


def program_started(pid):
    """Whether the process pid has become the Windows program: until the launcher
    (env, the wine-exec script, Wine's loader) has handed over, its command line
    is theirs, and a kill then ends a run that never began."""
    try:
        with open(f"/proc/{pid}/cmdline", "rb") as f:
            first = f.read().split(b"\0", 1)[0]
    except OSError:
        return True  # already ended: whatever it was, it ran
    return first.lower().endswith(b".exe")



# Encodings as the program's automatic mode tells them apart: by the mark.
MARK_UTF8 = b"\xef\xbb\xbf"
MARK_UTF16LE = b"\xff\xfe"
ANSI_CODEPAGE = "cp1252"  # the en_US locale's ANSI code page under Wine


def encode_file(kind, text):
    """The bytes of a file of kind utf8bom, utf8, utf16le (with its mark), ansi or
    ascii holding text."""
    if kind == "utf8bom":
        return MARK_UTF8 + text.encode("utf-8")
    if kind == "utf8":
        return text.encode("utf-8")
    if kind == "utf16le":
        return MARK_UTF16LE + text.encode("utf-16-le", "surrogatepass")
    if kind == "ansi":
        return text.encode(ANSI_CODEPAGE)
    if kind == "ascii":
        return text.encode("ascii")
    raise ValueError(kind)


def is_utf8(data):
    try:
        data.decode("utf-8", "strict")
        return True
    except UnicodeDecodeError:
        return False


def expected_after_replace(old, find, replace):
    """The bytes a file holding old must hold after replace in automatic mode:
    the text decoded by the file's mark (none: UTF-8 when the bytes are UTF-8
    beyond ASCII, otherwise ANSI), every find replaced, encoded
    again behind the same mark. A file without the text, one that does not decode,
    or one whose text would not encode back to its bytes keeps its bytes."""
    if old.startswith(MARK_UTF16LE) and not old.startswith(b"\xff\xfe\x00\x00"):
        mark, body, codec, errors = MARK_UTF16LE, old[2:], "utf-16-le", "surrogatepass"
        if len(body) % 2:
            return old
    elif old.startswith(MARK_UTF8):
        mark, body, codec, errors = MARK_UTF8, old[3:], "utf-8", "strict"
    elif old.startswith((b"\x00\x00\xfe\xff", b"\xff\xfe\x00\x00", b"\xfe\xff")):
        return old  # a mark the program does not handle
    elif any(byte >= 0x80 for byte in old) and is_utf8(old):
        mark, body, codec, errors = b"", old, "utf-8", "strict"  # UTF-8 without a mark
    else:
        mark, body, codec, errors = b"", old, ANSI_CODEPAGE, "strict"
    try:
        text = body.decode(codec, errors)
    except UnicodeDecodeError:
        return old
    if not text or find not in text or text.encode(codec, errors) != body:
        return old
    return mark + text.replace(find, replace).encode(codec, errors)


TEMP_NAME = re.compile(r"^TEMP-\d+\.TMP$", re.IGNORECASE)


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


@contextlib.contextmanager
def holding(files):
    """Holds files open in another Windows process while the block runs. files:
    (access, share, path) triples for qv_hold_file (access r, w, rw or a; share
    none or letters of rwd)."""
    args = [part for access, share, path in files for part in (access, share, win_path(path))]
    holder = Started(wine_command(HOLD_FILE, *args), stdin=subprocess.PIPE)
    try:
        if not holder.wait_for_line("ready"):
            raise AssertionError(f"the holder did not open the files: {holder.output()}")
        yield
    finally:
        stop(holder)


def stop(helper, timeout=60):
    """Tells a helper to stop (a line on its standard input) and waits for it;
    its output."""
    with contextlib.suppress(OSError):
        helper.process.stdin.write(b"\n")
        helper.process.stdin.close()
    try:
        return helper.wait(timeout)
    finally:
        helper.close()


UNDO_JOURNAL = _private_undo_journal()
