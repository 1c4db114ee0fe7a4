#!/usr/bin/env python3
"""Runs every benchmark case and prints the tables (bench/run is the entry point).

Each measurement runs in a process of its own (qv-bench.exe under Wine, ripgrep
natively), so that a process's peak working set belongs to one case. Every count
of the product is compared with the plain reference, and ripgrep's per-file counts
with the plain reference's on the files both read as the same text (no mark, or
the UTF-8 mark). Any disagreement is printed loudly and makes the exit code 1.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)
WINE_EXEC = os.path.join(REPO, "scripts", "wine-exec")
MB = 1 << 20
DRIVER_TIMEOUT = 3 * 3600  # the plain reference's sort of the kernel tree alone takes many minutes

# Goals. Ratios are our wall time over a floor's, measured in the same minutes.
SEARCH_GOAL = {"tree": 0.8, "real": 0.8, "big": 2.5}  # x the single-thread read floor
LISTING_GOAL = 3.0                                     # x the listing floor
REPLACE_GOAL = 1.0                                     # x the write floor
ENGINE_GOAL = {True: 1500, False: 1200}                # MB/s, case-sensitive / case-insensitive, one thread
REGEX_PATTERN = "pengu[a-z]+"                          # the regex case on tree and real
LINES_PAGE_GOAL = 0.25                                 # s from a file's text to its 10,000th occurrence listed
HUGE_MEMORY_GOAL = 96 * MB  # one 3 GB file: peak working set, search and replace alike
HUGE_SEARCH_GOAL = 2.5      # x the read floor
QUIET_LOAD = 0.5            # a 1-minute load above this before a case: its figures are not quiet ones
TREE_RUNS = 3  # tree searches: the median of this many paired runs (their ratios are noisy)
# Memory: 32 MB for the process, plus the bytes in flight. The product holds at most
# min(2 x its pool's threads, 256 MB) files at once; with at least two threads that is
# taken as 4 of the largest file, each as its bytes and twice its decoded length.
BASE_MEMORY = 32 * MB
IN_FLIGHT_FILES = 4
IN_FLIGHT_CAP = 256 * MB

problems = []
load_warnings = []


def load_average():
    """The 1-, 5- and 15-minute load averages of the machine."""
    with open("/proc/loadavg") as f:
        return tuple(float(x) for x in f.read().split()[:3])


def load_text(row):
    """The 1-minute load before and after the row's case."""
    if "load" not in row:
        return "-"
    before, after = row["load"]
    return f"{before[0]:.2f}/{after[0]:.2f}"


def loud(message):
    problems.append(message)
    print(f"\n!!!!! DISAGREEMENT: {message}\n", flush=True)


def win_path(path):
    """Drive Z: is the Linux root under Wine."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def run_driver(exe, mode, folder, *options, dump=None):
    args = [WINE_EXEC, exe, mode, win_path(folder), *options]
    if dump:
        args += ["--dump", win_path(dump)]
    # Output through files, not pipes: a Wine server started by this run keeps the
    # handles it inherited, and a pipe would then never reach its end.
    out_path, err_path = os.path.join(WORK, "driver.out"), os.path.join(WORK, "driver.err")
    with open(out_path, "w") as out, open(err_path, "w") as err:
        try:
            proc = subprocess.run(args, stdout=out, stderr=err, stdin=subprocess.DEVNULL, timeout=DRIVER_TIMEOUT)
        except subprocess.TimeoutExpired:
            raise RuntimeError(f"qv-bench {mode} {folder} {options} did not end within {DRIVER_TIMEOUT} s")
    with open(out_path, encoding="utf-8", errors="replace") as f:
        stdout = f.read()
    with open(err_path, encoding="utf-8", errors="replace") as f:
        stderr = f.read()
    result = {}
    for line in stdout.splitlines():
        m = re.match(r"result (\w+)=(.*)$", line.strip())
        if m:
            value = m.group(2)
            try:
                result[m.group(1)] = float(value) if "." in value else int(value)
            except ValueError:
                result[m.group(1)] = value
    if proc.returncode != 0 or not result:
        raise RuntimeError(f"qv-bench {mode} {folder} {options} failed ({proc.returncode}): {stderr[-2000:]}")
    return result


def best_of(repeat, fn):
    runs = [fn() for _ in range(repeat)]
    return min(runs, key=lambda r: r["seconds"])


def median_pair(runs, floor_fn, ours_fn):
    """Runs the floor and ours one after the other `runs` times; the pair whose
    ratio is the median (the two figures of one pair come from the same minutes)."""
    pairs = []
    for _ in range(runs):
        floor = floor_fn()
        pairs.append((floor, ours_fn()))
    pairs.sort(key=lambda p: p[1]["seconds"] / p[0]["seconds"] if p[0]["seconds"] > 0 else float("inf"))
    return pairs[len(pairs) // 2]


def memory_bound(result):
    """32 MB + 1.2 x min(256 MB, 4 x (largest file + twice its decoded length))."""
    per_file = result["largest_bytes"] + 2 * result["largest_decoded_bytes"]
    return BASE_MEMORY + 1.2 * min(IN_FLIGHT_CAP, IN_FLIGHT_FILES * per_file)


def read_dump(path, root):
    """[(relative path, mode, count)] in the order written."""
    prefix = win_path(root).rstrip("\\") + "\\"
    lines = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            count, mode, full = line.rstrip("\n").split("\t", 2)
            rel = full[len(prefix):] if full.startswith(prefix) else full
            lines.append((rel.replace("\\", "/"), int(mode), int(count)))
    return lines


def run_ripgrep(folder, word, case_sensitive, globs, regex=False):
    # Links are followed, as the platform's enumeration follows them.
    args = ["rg", "--count-matches", "-a", "--no-ignore", "--hidden", "--follow", "--no-messages"]
    if not regex:
        args.append("-F")
    for g in globs:
        args += ["--iglob", g]
    if not case_sensitive:
        args.append("-i")
    args += ["--", word, "."]
    start = time.perf_counter()
    pid = os.fork()
    if pid == 0:
        try:
            os.chdir(folder)
            fd = os.open(os.path.join(WORK, "rg.out"), os.O_WRONLY | os.O_CREAT | os.O_TRUNC)
            os.dup2(fd, 1)
            os.execvp("rg", args)
        finally:
            os._exit(127)
    _, status, usage = os.wait4(pid, 0)
    seconds = time.perf_counter() - start
    counts = {}
    with open(os.path.join(WORK, "rg.out"), encoding="utf-8", errors="surrogateescape") as f:
        for line in f:
            path, _, count = line.rstrip("\n").rpartition(":")
            counts[path[2:] if path.startswith("./") else path] = int(count)
    return {"seconds": seconds, "peak_rss": usage.ru_maxrss * 1024, "counts": counts,
            "status": os.waitstatus_to_exitcode(status)}


def warm(folder):
    """Reads the corpus once natively, so every tool starts from the same warm cache."""
    subprocess.run(f"find . -type f -print0 | xargs -0 cat > /dev/null", shell=True, cwd=folder, check=False)


def later_names(paths, folder):
    """Of paths in the run's order, those naming a file met before under another
    name (a link): the product examines a file once a run, under the name it meets
    first, where the plain reference and ripgrep read every name."""
    seen, later = set(), set()
    for p in paths:
        try:
            st = os.stat(os.path.join(folder, p))
        except OSError:
            continue
        if (st.st_dev, st.st_ino) in seen:
            later.add(p)
        else:
            seen.add((st.st_dev, st.st_ino))
    return later


def compare_listing(name, product, plain, folder):
    """The product lists exactly the plain reference's files with a count, in its
    order, each file under the first of its names."""
    later = later_names([p for p, _, _ in plain], folder)
    expected = [(p, c) for p, _, c in plain if c > 0 and p not in later]
    got = [(p, c) for p, _, c in product]
    if got == expected:
        return True
    for i, (a, b) in enumerate(zip(got, expected)):
        if a != b:
            loud(f"{name}: entry {i}: product {a}, plain reference {b}")
            break
    else:
        loud(f"{name}: product listed {len(got)} files, plain reference {len(expected)}")
    return False


def compare_counts(name, label, got, plain):
    expected = {p: c for p, _, c in plain}
    bad = [(p, got.get(p), c) for p, c in expected.items() if got.get(p, 0) != c]
    extra = [p for p in got if p not in expected]
    if bad or extra:
        loud(f"{name}: {label} disagrees with the plain reference on {len(bad) + len(extra)} files, "
             f"first {(bad or extra)[:3]}")
        return False
    return True


def compare_ripgrep(name, rg_counts, plain):
    comparable = [(p, c) for p, mode, c in plain if mode in (1, 3)]
    bad = [(p, rg_counts.get(p, 0), c) for p, c in comparable if rg_counts.get(p, 0) != c]
    if bad:
        loud(f"{name}: ripgrep disagrees on {len(bad)} of {len(comparable)} comparable files, first {bad[:3]}")
        return False, len(comparable)
    return True, len(comparable)


def mb(value):
    return value / MB


def plain_searches(args, corpus, folder, filters, recursive, cases):
    """The plain reference for all searches of a corpus: its quadratic sort runs once
    (on the kernel tree it alone takes many minutes), each search's per-file work on
    its own; a search's plain time is the two added."""
    print(f"--- {corpus}: plain reference ({len(cases)} searches)", flush=True)
    options = ["--filters", "; ".join(filters)]
    if recursive:
        options.append("--recursive")
    for word, cs in cases:
        options += ["--case", f"{'cs' if cs else 'ci'}:{word}"]
    dump = os.path.join(WORK, f"plain-{corpus}.dump")
    result = run_driver(args.exe, "plain", folder, *options, dump=dump)
    plains = {}
    for k, (word, cs) in enumerate(cases):
        plains[(word, cs)] = ({"seconds": result[f"case{k}_seconds"], "files": result["files"],
                               "create_file_calls": result[f"case{k}_create_file_calls"],
                               "find_first_calls": result["find_first_calls"],
                               "shared_seconds": result["shared_seconds"]},
                              read_dump(f"{dump}.{k}", folder))
    return plains


def search_case(args, corpus, folder, filters, recursive, word, case_sensitive, plains, regex=False):
    """A regex search has no plain reference of its own: ripgrep's counts check it, on the
    files the plain reference of the corpus's literal searches read without a mark or
    with the UTF-8 mark."""
    name = f"{corpus} {'regex' if regex else 'cs' if case_sensitive else 'ci'} {word}"
    print(f"--- {name}", flush=True)
    options = ["--filters", "; ".join(filters), "--find", word] + (["--regex"] if regex else [])
    if recursive:
        options.append("--recursive")
    if not case_sensitive:
        options.append("--ignore-case")
    exe = args.exe
    plain, plain_lines = plains[(word, case_sensitive)] if not regex else next(iter(plains.values()))
    product_dump = os.path.join(WORK, "product.dump")
    listings_agree = True

    def floor_run():
        return run_driver(exe, "floor", folder, *options)

    def product_run():
        # Every run's listing is checked, not only the one shown: an order that
        # differs now and then is a fault too.
        nonlocal listings_agree
        result = run_driver(exe, "search", folder, *options, dump=product_dump)
        if listings_agree and not regex:
            listings_agree = compare_listing(name, read_dump(product_dump, folder), plain_lines, folder)
        return result

    if corpus == "tree":
        floor, product = median_pair(TREE_RUNS, floor_run, product_run)
    else:
        floor = best_of(args.repeat, floor_run)
        product = best_of(args.repeat, product_run)
    ok = listings_agree
    if floor["files"] != product["files"]:
        loud(f"{name}: the read floor examined {floor['files']} files, the search {product['files']}")
        ok = False
    row = {"case": name, "kind": "search", "cs": case_sensitive, "corpus": corpus, "product": product,
           "floor": floor, "folders": floor["folders"], "filters": len(filters), "recursive": recursive,
           "regex": regex}
    if not regex:
        row["plain"] = plain
    rg = best_of(args.repeat, lambda: run_ripgrep(folder, word, case_sensitive, filters, regex))
    if regex:
        # Our counts, on the files both tools read alike, against ripgrep's.
        ours = {p: c for p, _, c in read_dump(product_dump, folder)}
        later = later_names([p for p, _, _ in plain_lines], folder)
        rg_ok, comparable = compare_ripgrep(name, rg["counts"],
                                            [(p, m, ours.get(p, 0)) for p, m, _ in plain_lines if p not in later])
    else:
        rg_ok, comparable = compare_ripgrep(name, rg["counts"], plain_lines)
    row["rg"] = rg
    row["rg_comparable"] = comparable
    ok = ok and rg_ok
    if corpus in ("big", "real") and not regex:
        engine_dump = os.path.join(WORK, "engine.dump")
        engine = run_driver(exe, "engine", folder, *options, dump=engine_dump)
        ok = compare_counts(name, "the in-memory engine", {p: c for p, _, c in read_dump(engine_dump, folder)},
                            plain_lines) and ok
        row["engine"] = engine
    if not regex and (product["seconds"] > SEARCH_GOAL[corpus] * floor["seconds"] or args.profile):
        row["profile"] = best_of(args.repeat, lambda: run_driver(exe, "profile", folder, *options))
    row["ok"] = ok
    return row


def listing_case(args, folder):
    name = "flat listing"
    print(f"--- {name}", flush=True)
    exe = args.exe
    options = ["--filters", "*", "--find", ""]
    floor = best_of(args.repeat, lambda: run_driver(exe, "floor", folder, *options))
    product_dump = os.path.join(WORK, "product.dump")
    product = best_of(args.repeat, lambda: run_driver(exe, "search", folder, *options, dump=product_dump))
    listed = [p for p, _, _ in read_dump(product_dump, folder)]
    ok = True
    if len(listed) != floor["files"] or len(set(listed)) != len(listed):
        loud(f"{name}: the product listed {len(listed)} files, the folder holds {floor['files']}")
        ok = False
    plains = []
    position = {p: i for i, p in enumerate(listed)}
    for limit in args.flat_limits:
        plain_dump = os.path.join(WORK, "plain.dump")
        print(f"    plain reference on the first {limit:,} files", flush=True)
        plain = run_driver(exe, "plain", folder, *options, "--limit", str(limit), dump=plain_dump)
        subset = [p for p, _, _ in read_dump(plain_dump, folder)]
        # The product's full order, restricted to the files the plain run saw.
        restricted = sorted((p for p in subset if p in position), key=position.get)
        if restricted != subset:
            loud(f"{name}: the product's order of the first {limit} files differs from the plain reference's")
            ok = False
        plains.append((limit, plain))
    profile = best_of(args.repeat, lambda: run_driver(exe, "profile", folder, *options))
    return {"case": name, "kind": "listing", "corpus": "flat", "product": product, "floor": floor,
            "profile": profile, "plains": plains, "folders": floor["folders"], "filters": 1, "recursive": False, "ok": ok}


def lines_case(args, folder, filters, word, plain_entry):
    """Every occurrence listed with its line and its new line, as quorvane-cli --lines
    --json lists them, against the plain reference's search of the same files."""
    name = f"big lines {word}"
    print(f"--- {name}", flush=True)
    options = ["--filters", "; ".join(filters), "--find", word, "--replace", "that"]
    dump = os.path.join(WORK, "lines.dump")
    product = best_of(args.repeat, lambda: run_driver(args.exe, "lines", folder, *options, dump=dump))
    plain, plain_lines = plain_entry
    ok = compare_counts(name, "the listing", {p: c for p, _, c in read_dump(dump, folder)}, plain_lines)
    return {"case": name, "kind": "lines", "product": product, "plain": plain, "ok": ok}


def replace_case(args, tree, filters, word, replacement):
    name = f"tree replace {word}"
    print(f"--- {name}", flush=True)
    ours = os.path.join(WORK, "replace-product")
    theirs = os.path.join(WORK, "replace-plain")
    floors = os.path.join(WORK, "replace-floor")
    options = ["--filters", "; ".join(filters), "--find", word, "--replace", replacement, "--recursive"]
    for copy in (ours, theirs, floors):
        shutil.rmtree(copy, ignore_errors=True)
        subprocess.run(["cp", "-a", tree, copy], check=True)
    # The write floor and ours each start warm, with no writing of the copies left pending.
    warm(floors)
    os.sync()
    write_floor = run_driver(args.exe, "writefloor", floors, *options)
    warm(ours)
    floor = run_driver(args.exe, "floor", ours, *options)
    os.sync()
    product = run_driver(args.exe, "apply", ours, *options)
    plain = run_driver(args.exe, "plain-apply", theirs, *options)
    ok = True
    for key in ("changed", "replaced", "skipped"):
        if product[key] != plain[key]:
            loud(f"{name}: {key} {product[key]}, plain reference {plain[key]}")
            ok = False
    # The write floor must have done the same writing as ours: the same files, the same bytes.
    for key in ("changed", "replaced"):
        if write_floor[key] != product[key]:
            loud(f"{name}: the write floor {key} {write_floor[key]}, ours {product[key]}")
            ok = False
    if write_floor["failed"]:
        loud(f"{name}: the write floor failed to write {write_floor['failed']} files")
        ok = False
    for other, label in ((theirs, "the plain reference's"), (floors, "the write floor's")):
        diff = subprocess.run(["diff", "-rq", ours, other], stdout=subprocess.PIPE, text=True)
        if diff.returncode != 0:
            lines = diff.stdout.splitlines()
            loud(f"{name}: the product's files differ from {label} in {len(lines)} places: {lines[:3]}")
            ok = False
    leftovers = subprocess.run(["find", ours, floors, "-name", "TEMP-*.TMP", "-o", "-name", "FLOOR-NEW.TMP"],
                               stdout=subprocess.PIPE, text=True).stdout
    if leftovers.strip():
        loud(f"{name}: temporary files left behind: {leftovers.split()[:3]}")
        ok = False
    for copy in (ours, theirs, floors):
        shutil.rmtree(copy, ignore_errors=True)
    return {"case": name, "kind": "replace", "corpus": "tree", "product": product, "floor": floor,
            "write_floor": write_floor, "plain": plain, "folders": floor["folders"], "filters": len(filters),
            "recursive": True, "ok": ok}


def huge_search_case(args, folder, word):
    """One 3 GB file: our search against the read floor, the count against ripgrep's
    (ASCII text without a mark: both read the same text)."""
    name = f"huge cs {word}"
    print(f"--- {name}", flush=True)
    options = ["--filters", "*.txt", "--find", word, "--encoding", "0", "--no-decoded-length"]
    floor = best_of(args.repeat, lambda: run_driver(args.exe, "floor", folder, *options))
    product_dump = os.path.join(WORK, "product.dump")
    product = best_of(args.repeat, lambda: run_driver(args.exe, "search", folder, *options, dump=product_dump))
    rg = run_ripgrep(folder, word, True, ["*.txt"])
    ours = {p: c for p, _, c in read_dump(product_dump, folder)}
    ok = True
    if ours != rg["counts"]:
        loud(f"{name}: our counts {ours}, ripgrep's {rg['counts']}")
        ok = False
    if floor["files"] != product["files"]:
        loud(f"{name}: the read floor examined {floor['files']} files, the search {product['files']}")
        ok = False
    return {"case": name, "kind": "huge", "product": product, "floor": floor, "ok": ok,
            "goal": HUGE_SEARCH_GOAL}


def huge_replace_case(args, huge, word, replacement):
    """The 3 GB file replaced in a copy of its own, the undo journal in a folder of
    its own (it holds the old 3 GB); the count is checked against ripgrep's."""
    name = f"huge replace {word}"
    print(f"--- {name}", flush=True)
    copy = os.path.join(WORK, "huge-replace")
    undo = os.path.join(WORK, "huge-undo")
    for folder in (copy, undo):
        shutil.rmtree(folder, ignore_errors=True)
    subprocess.run(["cp", "-a", huge, copy], check=True)
    options = ["--filters", "*.txt", "--find", word, "--replace", replacement, "--encoding", "0",
               "--no-decoded-length"]
    try:
        expected = sum(run_ripgrep(copy, word, True, ["*.txt"])["counts"].values())
        warm(copy)
        floor = run_driver(args.exe, "floor", copy, *options)
        os.sync()
        os.environ["QV_UNDO_DIR"] = undo
        try:
            product = run_driver(args.exe, "apply", copy, *options)
        finally:
            del os.environ["QV_UNDO_DIR"]
        ok = True
        if (product["changed"], product["replaced"]) != (1, expected):
            loud(f"{name}: changed {product['changed']} files, replaced {product['replaced']} "
                 f"(skipped {product['skipped']}); ripgrep counts {expected} occurrences")
            ok = False
        left = sum(run_ripgrep(copy, word, True, ["*.txt"])["counts"].values())
        if product["changed"] and left:
            loud(f"{name}: {left} occurrences left in the written file")
            ok = False
    finally:
        for folder in (copy, undo):
            shutil.rmtree(folder, ignore_errors=True)
    return {"case": name, "kind": "huge", "product": product, "floor": floor, "ok": ok, "goal": None}


API_GROUPS = (("enumeration", ("FindFirstFileW", "FindFirstFileExW", "FindNextFileW", "FindClose")),
              ("open+close", ("CreateFileW", "CloseHandle", "GetFileSizeEx", "GetFileInformationByHandle")),
              ("read", ("ReadFile",)),
              ("write", ("WriteFile",)),
              ("flush", ("FlushFileBuffers",)),
              ("rename+delete", ("MoveFileW", "MoveFileExW", "SetFileInformationByHandle", "DeleteFileW",
                                 "GetFileAttributesW")),
              ("CompareStringW", ("CompareStringW",)),
              ("conversions", ("LCMapStringW", "CharUpperBuffW", "MultiByteToWideChar", "WideCharToMultiByte")))


def api_row(name, result):
    cells, total = [], 0.0
    for _, names in API_GROUPS:
        seconds = sum(result.get(f"api_{n}_seconds", 0.0) for n in names)
        total += seconds
        cells.append(fmt(seconds) if seconds else "-")
    return [name, fmt(result["seconds"]), *cells, fmt(result["seconds"] - total)]


def fmt(value, digits=2):
    return f"{value:,.{digits}f}"


def table(headers, rows):
    widths = [max([len(str(h))] + [len(str(r[i])) for r in rows]) for i, h in enumerate(headers)]
    line = "| " + " | ".join(str(h).ljust(w) for h, w in zip(headers, widths)) + " |"
    out = [line, "|" + "|".join("-" * (w + 2) for w in widths) + "|"]
    for r in rows:
        out.append("| " + " | ".join(str(v).rjust(w) if i else str(v).ljust(w)
                                     for i, (v, w) in enumerate(zip(r, widths))) + " |")
    return "\n".join(out)


def verdict(met):
    return "ok" if met else "MISSED"


def report(rows):
    speed, memory, engine, profiles, api, lines, huge = [], [], [], [], [], [], []
    for r in rows:
        if r["kind"] == "huge":
            p, fl = r["product"], r["floor"]
            ratio = p["seconds"] / fl["seconds"] if fl["seconds"] > 0 else float("inf")
            goal = r["goal"]
            peak = p["peak_working_set"]
            outcome = (f"{p['listed']} listed, {p['occurrences']:,} occurrences" if "listed" in p else
                       f"{p['changed']} changed, {p['replaced']:,} replaced, {p['skipped']} skipped")
            huge.append([r["case"], fmt(mb(p["bytes"]), 0), outcome, fmt(p["seconds"]), f"{fmt(fl['seconds'])} s",
                         f"{fmt(ratio)} (<= {goal}) {verdict(ratio <= goal)}" if goal else fmt(ratio),
                         f"{fmt(mb(peak), 0)} (<= {mb(HUGE_MEMORY_GOAL):g}) {verdict(peak <= HUGE_MEMORY_GOAL)}",
                         "yes" if r["ok"] else "NO", load_text(r)])
            continue
        if r["kind"] == "lines":
            p, plain = r["product"], r["plain"]
            bound = memory_bound(p)
            lines.append([r["case"], f"{p['files']:,}", fmt(mb(p["bytes"]), 0), f"{p['occurrences']:,}",
                          fmt(p["seconds"]), fmt(p["load_seconds"]), fmt(p["list_seconds"]),
                          f"{fmt(p['page_seconds'], 3)} (<= {LINES_PAGE_GOAL:g}) "
                          f"{verdict(p['page_seconds'] <= LINES_PAGE_GOAL)}" if p["pages"] else "-", f"{fmt(plain['seconds'])} s",
                          fmt(p["seconds"] / plain["seconds"], 2) if plain["seconds"] > 0 else "-",
                          fmt(mb(p["peak_working_set"]), 0), f"{fmt(mb(bound), 0)} {verdict(p['peak_working_set'] <= bound)}",
                          "yes" if r["ok"] else "NO", load_text(r)])
            continue
        p, fl = r["product"], r["floor"]
        secs = p["seconds"]
        size = p.get("bytes", 0)
        ratio = secs / fl["seconds"] if fl["seconds"] > 0 else float("inf")
        write_floor_text = "-"
        if r["kind"] == "search":
            goal = SEARCH_GOAL[r["corpus"]]
            # A pattern has no goal: its ratio stands beside the literal searches'.
            floor_text = fmt(ratio) if r["regex"] else f"{fmt(ratio)} (<= {goal}) {verdict(ratio <= goal)}"
            plain_text = (f"{fmt(r['plain']['seconds'])} s, {fmt(r['plain']['seconds'] / secs, 1)}x"
                          if "plain" in r else "-")
            rg = r["rg"]
            rg_text = f"{fmt(rg['seconds'])} s, {fmt(secs / rg['seconds'], 1)}x"
        elif r["kind"] == "listing":
            floor_text = f"{fmt(ratio)} (<= {LISTING_GOAL:g}) {verdict(ratio <= LISTING_GOAL)}"
            plain_text = ", ".join(f"{n // 1000}k: {fmt(pl['seconds'])} s" for n, pl in r["plains"])
            rg_text = "-"
        else:
            wf = r["write_floor"]["seconds"]
            ratio = secs / wf if wf > 0 else float("inf")
            write_floor_text = f"{fmt(wf)} s"
            floor_text = f"{fmt(ratio)} (<= {REPLACE_GOAL:g}) {verdict(ratio <= REPLACE_GOAL)}"
            plain_text = f"{fmt(r['plain']['seconds'])} s, {fmt(r['plain']['seconds'] / secs, 1)}x"
            rg_text = "-"
        speed.append([r["case"], f"{p['files']:,}", fmt(mb(size), 0), fmt(secs), fmt(mb(size) / secs, 0),
                      fmt(p["files"] / secs, 0), f"{fmt(fl['seconds'])} s", write_floor_text, floor_text,
                      plain_text, rg_text, "yes" if r["ok"] else "NO", load_text(r)])
        limit = r["folders"] * (r["filters"] + (1 if r["recursive"] else 0))
        passes = p["directory_passes"]
        peak = p["peak_working_set"]
        if r["kind"] in ("search", "replace"):
            bound = memory_bound(p)
            bound_text = f"{fmt(mb(bound), 0)} {verdict(peak <= bound)}"
        else:
            bound_text = "-"
        rg_peak = fmt(mb(r["rg"]["peak_rss"]), 0) if "rg" in r else "-"
        memory.append([r["case"], fmt(mb(peak), 0), bound_text, rg_peak,
                       f"{passes:,} (<= {limit:,}) {verdict(passes <= limit)}",
                       f"{passes:,}/{r['plain']['find_first_calls']:,}" if "plain" in r else "-",
                       fmt(p["create_file_calls"] / max(1, p["files"]), 2),
                       fmt(r["plain"]["create_file_calls"] / max(1, r["plain"]["files"]), 2) if "plain" in r else "-",
                       load_text(r)])
        if "engine" in r:
            e = r["engine"]
            size_mb = mb(e["bytes"])
            rate = size_mb / e["seconds"]
            goal = ENGINE_GOAL[r["cs"]]
            engine.append([r["case"], fmt(size_mb, 0), f"{fmt(rate, 0)} (>= {goal}) {verdict(rate >= goal)}",
                           fmt(size_mb / e["decode_seconds"], 0), fmt(size_mb / e["count_seconds"], 0),
                           fmt(size_mb / (e["fresh_decode_seconds"] + e["count_seconds"]), 0),
                           fmt(size_mb / e["fresh_decode_seconds"], 0), load_text(r)])
        api.append(api_row(r["case"], p))
        api.append(api_row("  its read floor", fl))
        if "write_floor" in r:
            api.append(api_row("  its write floor", r["write_floor"]))
        if "profile" in r:
            pr = r["profile"]
            events = secs - pr["seconds"]
            profiles.append([r["case"], fmt(secs), fmt(pr["collect_seconds"]), fmt(pr["sort_seconds"]),
                             fmt(pr["load_seconds"]), fmt(pr["count_seconds"]), fmt(events),
                             fmt(fl["enumerate_seconds"]), fmt(fl["open_read_seconds"])])
    # Figures taken on a busy machine are said to be so, first.
    out = [f"WARNING: {w}" for w in load_warnings] + ([""] if load_warnings else [])
    out += [] if not speed else ["Speed (wall time of the run; tree searches: the median of 3 paired runs, floor then ours, by their "
           "ratio; other cases: the best of --repeat, the replace one run; x floor = ours / read floor, for the "
           "replace ours / write floor; plain = plain reference's time and our speed-up, rg = ripgrep's time and "
           "ours / ripgrep's)",
           table(["case", "files", "MB", "wall s", "MB/s", "files/s", "read floor", "write floor", "x floor",
                  "plain reference", "ripgrep", "counts agree", "load 1m before/after"], speed), "",
           "Memory, directory passes and opens (peak working set in MB; bound = 32 MB + 1.2 x min(256 MB, 4 x "
           "(largest file + twice its decoded length)), the files in flight; passes ours/plain; CreateFileW calls "
           "per file ours and plain)",
           table(["case", "peak WS", "bound", "rg peak RSS", "directory passes", "passes ours/plain", "opens/file",
                  "plain opens/file", "load 1m before/after"], memory), ""]
    if lines:
        out += ["Listing every occurrence with its line and its new line (one thread, each file read whole, "
                "then listed as quorvane-cli --lines --json lists it; 10,000th = the slowest file's time from its "
                "text in memory to its 10,000th occurrence listed; plain = the plain reference's search of the "
                "same files; memory bound as for the searches)",
                table(["case", "files", "MB", "occurrences", "wall s", "read+decode s", "listing s",
                       "10,000th s", "plain search", "x plain", "peak WS", "bound", "counts agree",
                       "load 1m before/after"], lines), ""]
    if engine:
        out += ["Engine: decoding and counting files already in memory, one thread (MB/s of input bytes; "
                "decoded into text memory kept from file to file, as the reader does; fresh text: a new text "
                "per file)",
                table(["case", "MB", "decode + count MB/s", "decode MB/s", "count MB/s",
                       "decode + count, fresh text", "decode MB/s, fresh text", "load 1m before/after"], engine), ""]
    if huge:
        out += ["One 3 GB file (--small: 1/20 of it), ASCII text without a mark, read in automatic mode: our run "
                "against the read floor (one open, one read of the whole file); peak working set in MB against "
                "its goal; counts checked against ripgrep's",
                table(["case", "MB", "result", "wall s", "read floor", "x floor", "peak WS", "counts agree",
                       "load 1m before/after"], huge), ""]
    if speed:
        out += ["Time inside system calls during each run, in seconds (counted through the driver's import "
                "entries; rest = wall time less these: decoding, counting, sort code, allocation, events)",
                table(["case", "wall", "enumeration", "open+close", "read", "write", "flush", "rename+delete",
                       "CompareStringW", "case maps+conversions", "rest"], api)]
    if profiles:
        out += ["", "Where the time goes (seconds; the worker's steps timed one by one with the product's routines; "
                "events = run - sum of steps; the floor's enumeration and open+read for comparison)",
                table(["case", "run", "collect", "sort", "open+read+decode", "count", "events+other",
                       "floor enum", "floor open+read"], profiles)]
    return "\n".join(out)


def main():
    global WORK
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--data", required=True)
    parser.add_argument("--repeat", type=int, default=2)
    parser.add_argument("--cases", default="", help="regular expression on the case names")
    parser.add_argument("--flat-limits", type=lambda s: [int(x) for x in s.split(",")], default=[10000, 20000])
    parser.add_argument("--real", required=True, help="the unpacked kernel source tree")
    parser.add_argument("--real-subfolder", default="")
    parser.add_argument("--profile", action="store_true", help="profile every search case")
    parser.add_argument("--output", default="")
    parser.add_argument("--scale", default="1", help="the corpora's scale, for the corpus made on demand")
    args = parser.parse_args()
    WORK = os.path.join(args.data, "work")
    os.makedirs(WORK, exist_ok=True)

    tree = os.path.join(args.data, "tree")
    big = os.path.join(args.data, "big")
    flat = os.path.join(args.data, "flat")
    real = os.path.join(args.real, args.real_subfolder)
    plan = []
    corpora = (("tree", tree, ["*.txt", "*.md", "*.log"], True, "zephyrine"),
               ("big", big, ["*.txt"], False, "zephyrine"),
               ("real", real, ["*.c", "*.h"], True, "penguin"))
    for corpus, folder, filters, recursive, rare in corpora:
        for word in (rare, "the"):
            for cs in (True, False):
                plan.append((corpus, f"{corpus} {'cs' if cs else 'ci'} {word}", (word, cs), folder))
        if corpus != "big":
            # A pattern beside the literal searches: what the regular-expression engine costs.
            plan.append((corpus, f"{corpus} regex {REGEX_PATTERN}", (REGEX_PATTERN, True, True), folder))
    plan.append(("big-lines", "big lines the", ("the", True), big))
    plan.append(("flat", "flat listing", None, flat))
    plan.append(("tree-replace", "tree replace the", None, tree))
    huge = os.path.join(args.data, "huge")
    plan.append(("huge", "huge cs zephyrine", None, huge))
    plan.append(("huge-replace", "huge replace the", None, huge))
    # The huge cases run only when --cases names them ("huge"): their file costs 3 GB of disk.
    plan = [p for p in plan if (not args.cases or re.search(args.cases, p[1]))
            and (not p[0].startswith("huge") or "huge" in args.cases)]
    if any(p[0].startswith("huge") for p in plan):
        subprocess.run([sys.executable, os.path.join(HERE, "make_corpus.py"), args.data, "--scale", args.scale,
                        "--only", "huge"], check=True)
    rows = []
    warmed = set()
    plains = {}
    for corpus, name, search, folder in plan:
        if folder not in warmed:
            warm(folder)
            warmed.add(folder)
        before = load_average()
        if before[0] > QUIET_LOAD:
            load_warnings.append(f"load {before[0]:.2f} (1 minute) before {name}: its figures are not quiet ones")
            print(f"WARNING: {load_warnings[-1]}", flush=True)
        ran = len(rows)
        try:
            if corpus == "huge":
                rows.append(huge_search_case(args, folder, "zephyrine"))
            elif corpus == "huge-replace":
                rows.append(huge_replace_case(args, folder, "the", "that"))
            elif corpus == "big-lines":
                _, _, filters, recursive, _ = next(c for c in corpora if c[0] == "big")
                if search not in (plains.get("big") or {}):
                    plains.setdefault("big-lines", plain_searches(args, "big", folder, filters, recursive, [search]))
                    entry = plains["big-lines"][search]
                else:
                    entry = plains["big"][search]
                rows.append(lines_case(args, folder, filters, search[0], entry))
            elif search:
                _, _, filters, recursive, _ = next(c for c in corpora if c[0] == corpus)
                if corpus not in plains:
                    # A pattern alone still needs the marks the plain reference reads.
                    wanted = ([p[2] for p in plan if p[0] == corpus and len(p[2]) == 2] or
                              [(next(c[4] for c in corpora if c[0] == corpus), True)])
                    plains[corpus] = None  # tried once, whatever happens
                    plains[corpus] = plain_searches(args, corpus, folder, filters, recursive, wanted)
                if plains[corpus] is None:
                    raise RuntimeError("no plain reference to compare with")
                rows.append(search_case(args, corpus, folder, filters, recursive, search[0], search[1],
                                        plains[corpus], regex=len(search) == 3))
            elif corpus == "flat":
                rows.append(listing_case(args, folder))
            else:
                rows.append(replace_case(args, tree, ["*.txt", "*.md", "*.log"], "the", "that"))
        except Exception as error:  # a failed run is a failed benchmark, said loudly
            loud(f"{name}: {error}")
        if len(rows) > ran:
            rows[-1]["load"] = (before, load_average())
    text = report(rows) if rows else "no case ran"
    print("\n" + text)
    if args.output:
        with open(args.output, "w") as f:
            f.write(text + "\n")
    if problems:
        print(f"\n!!!!! {len(problems)} DISAGREEMENT(S) OR FAILURES:", *problems, sep="\n  ")
        return 1
    print("\nAll counts agree with the plain reference (and with ripgrep where both read the same text).")
    return 0


if __name__ == "__main__":
    sys.exit(main())
