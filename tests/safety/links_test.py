"""Folder links: five sibling folders, each holding a file, a link to each of
the other four and one back to the root. A recursive run enters each folder
once: replace "hello" -> "hello!" puts one "!" in each real file and reports
exactly those changes, search lists each real file once, and the run takes
about as long as on the same tree without links. Two filters that match the
same files ("*.txt; *.TXT") examine each file once: "cat" -> "cats" gives "cats".

Wine cannot make folder links itself, so they are made here on the host. Then
file links: a file link and its target, two hard links (see check_file_links)."""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from safety_support import (CLI, Checks, cli_command, fixture_folder, parse_apply_result, parse_search_listing,
                            read_bytes, require_environment, run, wine_command)

SIBLINGS = [f"S{i}" for i in range(1, 6)]


def make_tree(root, with_links):
    """The real files of the tree, by path."""
    files = [os.path.join(root, "top.txt")]
    for sibling in SIBLINGS:
        os.makedirs(os.path.join(root, sibling))
        files.append(os.path.join(root, sibling, f"{sibling.lower()}.txt"))
        if with_links:
            for other in SIBLINGS:
                if other != sibling:
                    os.symlink(os.path.join("..", other), os.path.join(root, sibling, f"to-{other}"))
            os.symlink("..", os.path.join(root, sibling, "up"))
    for path in files:
        with open(path, "wb") as f:
            f.write(b"say hello\r\n")
    return files


def unix_path(windows_path):
    """A path the program printed (drive Z: is the Linux root) as a Linux path."""
    return windows_path[2:].replace("\\", "/") if windows_path[:2].upper() == "Z:" else windows_path


def main():
    require_environment()
    checks = Checks()
    with fixture_folder() as fixture:
        linked, plain = os.path.join(fixture, "linked"), os.path.join(fixture, "plain")
        files = make_tree(linked, True)
        make_tree(plain, False)

        listing = run(cli_command("search", linked, "--find", "hello", "--recursive"))
        listed = parse_search_listing(listing.out)
        real = sorted(os.path.realpath(unix_path(path)) for path, _ in listed)
        checks.check(f"search lists each of the {len(files)} real files once",
                     real == sorted(os.path.realpath(f) for f in files),
                     f"{len(listed)} lines, for example {[path for path, _ in listed[:8]]}")

        timed = {}
        for name, root in (("plain", plain), ("linked", linked)):
            timed[name] = run(cli_command("replace", root, "--find", "hello", "--replace", "hello!", "--recursive"))
        print(f"replace without links: {timed['plain'].seconds:.2f} s, {timed['plain'].out.strip()}")
        print(f"replace with links:    {timed['linked'].seconds:.2f} s, {timed['linked'].out.strip()}")
        marks = {os.path.relpath(f, linked): read_bytes(f).count(b"!") for f in files}
        checks.check("replace changes each real file once (one \"!\" each)", all(n == 1 for n in marks.values()),
                     f"\"!\" per file: {marks}")
        result = parse_apply_result(timed["linked"].out, timed["linked"].err)
        checks.check(f"replace reports {len(files)} files and {len(files)} replacements",
                     result == (len(files), len(files), 0), f"got {result}: {timed['linked'].out.strip()!r}")
        checks.check("the tree without links was changed whole too",
                     parse_apply_result(timed["plain"].out, timed["plain"].err) == (len(files), len(files), 0),
                     timed["plain"].out.strip())
        checks.check("the links cost little time (at most 3 times the run without them plus a second)",
                     timed["linked"].seconds <= 3 * timed["plain"].seconds + 1.0,
                     f"{timed['linked'].seconds:.2f} s against {timed['plain'].seconds:.2f} s")

        # Filters that name the same files twice.
        pets = os.path.join(fixture, "pets")
        os.makedirs(pets)
        names = ["a.txt", "B.TXT", "c.Txt"]
        for name in names:
            with open(os.path.join(pets, name), "wb") as f:
                f.write(b"cat\r\n")
        done = run(cli_command("replace", pets, "--find", "cat", "--replace", "cats", "--filters", "*.txt; *.TXT"))
        contents = {name: read_bytes(os.path.join(pets, name)) for name in names}
        checks.check("\"*.txt; *.TXT\" changes each file once: cats, not catss",
                     all(data == b"cats\r\n" for data in contents.values()), f"{contents}")
        checks.check("\"*.txt; *.TXT\" reports 3 files and 3 replacements",
                     parse_apply_result(done.out, done.err) == (3, 3, 0), done.out.strip())

        check_file_links(checks, os.path.join(fixture, "filelinks"))
    checks.finish()


def check_file_links(checks, root):
    """A file reached through a file link is written where it is (the link stays
    a link, an undo restores the file) and a file reached by two names, a link
    and its target or two hard links, is examined once. Wine maps the host's
    links, which are made here."""
    os.makedirs(os.path.join(root, "real"))
    target = os.path.join(root, "real", "target.txt")
    link = os.path.join(root, "a-link.txt")  # met before its target
    first, second = os.path.join(root, "hard1.txt"), os.path.join(root, "hard2.txt")
    for path in (target, first):
        with open(path, "wb") as f:
            f.write(b"say hello\r\n")
    os.symlink(os.path.join("real", "target.txt"), link)
    os.link(first, second)

    listing = parse_search_listing(run(cli_command("search", root, "--find", "hello", "--recursive")).out)
    checks.check("search counts a file reached by two names once (2 files of 4 names)", len(listing) == 2,
                 f"{listing}")
    done = run(cli_command("replace", root, "--find", "hello", "--replace", "hello!", "--recursive"))
    checks.check("replace changes a file reached by two names once",
                 parse_apply_result(done.out, done.err) == (2, 2, 0), done.out.strip())
    checks.check("the file link stays a link, and its target holds the new text once",
                 os.path.islink(link) and read_bytes(target) == b"say hello!\r\n",
                 f"link: {os.path.islink(link)}, target: {read_bytes(target)!r}")
    # Written anew, the file the first name leads to is a file of its own: the
    # second name keeps the old one.
    hard = [read_bytes(path) for path in (first, second)]
    checks.check("of two hard links the first met is written, once", hard == [b"say hello!\r\n", b"say hello\r\n"],
                 f"{hard}")
    undone = run(wine_command(CLI, "undo", "/ENGLISH"))
    checks.check("undo puts the target back and the link stays a link",
                 undone.rc == 0 and os.path.islink(link) and read_bytes(target) == b"say hello\r\n",
                 f"{undone.out.strip()} {undone.err.strip()}; link: {os.path.islink(link)}, "
                 f"target: {read_bytes(target)!r}")


if __name__ == "__main__":
    main()
