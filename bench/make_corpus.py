#!/usr/bin/env python3
"""Deterministic benchmark corpora (fixed seed): tree, big and flat.

tree: files in a four-level tree (root and three levels of eight sub-folders),
      sizes 1 KB to 64 KB (log-uniform), English-like text; 60 % without a mark
      (ASCII with some Latin-1 bytes, code page 1252), 20 % UTF-8 with its mark, 15 % UTF-16 LE
      with its mark, 5 % with UTF-32 LE, UTF-32 BE or UTF-16 BE marks.
big:  eight UTF-8 files with the mark.
flat: small ASCII files in one folder.
huge: one 3 GB file of ASCII text (the same bytes in ANSI and UTF-8), no mark;
      made only when asked for by name (--only huge): it costs 3 GB of disk.
A corpus that is complete (its marker NAME.complete beside it names the same seed
and scale) is kept.
"""
import argparse
import math
import os
import random
import shutil
import sys

COMMON = ("the of and to a in is it you that he was for on are with as i his they be at one have this from or "
          "had by hot word but what some we can out other were all there when up use your how said an each she "
          "which do their time if will way about many then them write would like so these her long make thing "
          "see him two has look more day could go come did number sound no most people my over know water than "
          "call first who may down side been now find any new work part take get place made live where after back "
          "little only round man year came show every good me give our under name very through just form sentence "
          "great think say help low line differ turn cause much mean before move right boy old too same tell does "
          "set three want air well also play small end put home read hand port large spell add even land here must "
          "big high such follow act why ask men change went light kind off need house picture try us again animal "
          "point mother world near build self earth father head stand own page should country found answer school "
          "grow study still learn plant cover food sun four between state keep eye never last let thought city tree "
          "cross farm hard start might story saw far sea draw left late run while press close night real life few "
          "north open seem together next white children begin got walk example ease paper group always music those "
          "both mark often letter until mile river car feet care second book carry took science eat room friend "
          "began idea fish mountain stop once base hear horse cut sure watch color face wood main enough plain girl "
          "usual young ready above ever red list though feel talk bird soon body dog family direct pose leave song "
          "measure door product black short numeral class wind question happen complete ship area half rock order "
          "fire south problem piece told knew pass since top whole king space heard best hour better true during "
          "hundred five remember step early hold west ground interest reach fast verb sing listen six table travel "
          "less morning ten simple several vowel toward war lay against pattern slow center love person money serve "
          "appear road map rain rule govern pull cold notice voice unit power town fine certain fly fall lead cry "
          "dark machine note wait plan figure star box noun field rest correct able pound done beauty drive stood "
          "contain front teach week final gave green oh quick develop ocean warm free minute strong special mind "
          "behind clear tail produce fact street inch multiply nothing course stay wheel full force blue object "
          "decide surface deep moon island foot system busy test record boat common gold possible plane stead dry "
          "wonder laugh thousand ago ran check game shape equate hot miss brought heat snow tire bring yes distant "
          "fill east paint language among").split()
LATIN1 = "café naïve smörgåsbord Ärger façade über jalapeño crème brûlée Œuvre déjà señor Zürich æble ørn".split()
UNICODE = "Ελλάδα Москва 東京 日本語 😀 🚀 Ünïcödé φιλοσοφία Добро 한국어 ∑ ≠ “quoted” — €".split()
RARE = ["zephyrine"] * 6 + ["Zephyrine", "ZEPHYRINE"]
SEED = 20240611


def make_pool(rng, words, extra, size):
    """About `size` characters of text: weighted words, a rare word now and then."""
    weights = [1.0 / (rank + 1) ** 0.9 for rank in range(len(words))]
    count = size // 5
    picks = rng.choices(words, weights=weights, k=count)
    for i in rng.sample(range(count), count // 150):
        picks[i] = rng.choice(extra)
    for i in rng.sample(range(count), max(1, count // 200000)):
        picks[i] = rng.choice(RARE)
    for i in rng.sample(range(count), count // 40):
        picks[i] = picks[i].capitalize() if rng.random() < 0.8 else picks[i].upper()
    out = []
    for i, w in enumerate(picks):
        out.append(w)
        out.append("\r\n" if i % 13 == 12 else " ")
    return "".join(out)


def slice_of(rng, pool, length):
    if length >= len(pool):
        return (pool * (length // len(pool) + 1))[:length]
    start = rng.randrange(0, len(pool) - length)
    return pool[start:start + length]


# The marker lies beside the corpus, so that no case ever lists it.
def complete(folder, stamp):
    try:
        with open(folder + ".complete") as f:
            return f.read().strip() == stamp and os.path.isdir(folder)
    except OSError:
        return False


def finish(tmp, folder, stamp):
    if os.path.exists(folder):
        shutil.rmtree(folder)
    os.rename(tmp, folder)
    with open(folder + ".complete", "w") as f:
        f.write(stamp + "\n")


def encode(kind, text):
    if kind == "ansi":
        return text.encode("cp1252")
    if kind == "utf8":
        return b"\xef\xbb\xbf" + text.encode("utf-8")
    if kind == "utf16le":
        return b"\xff\xfe" + text.encode("utf-16-le")
    if kind == "utf16be":
        return b"\xfe\xff" + text.encode("utf-16-be")
    if kind == "utf32le":
        return b"\xff\xfe\x00\x00" + text.encode("utf-32-le")
    return b"\x00\x00\xfe\xff" + text.encode("utf-32-be")


def make_tree(root, scale, stamp):
    folder = os.path.join(root, "tree")
    if complete(folder, stamp):
        return
    rng = random.Random(SEED)
    latin_pool = make_pool(rng, COMMON, LATIN1, 4 << 20)
    unicode_pool = make_pool(rng, COMMON, LATIN1 + UNICODE, 4 << 20)
    tmp = folder + ".tmp"
    shutil.rmtree(tmp, ignore_errors=True)
    folders = [""]
    for a in range(8):
        folders.append(f"area{a}")
        for b in range(8):
            folders.append(f"area{a}/part{b}")
            for c in range(8):
                folders.append(f"area{a}/part{b}/unit{c}")
    for f in folders:
        os.makedirs(os.path.join(tmp, f), exist_ok=True)
    files = max(50, int(20000 * scale))
    exts = [".txt"] * 6 + [".md"] * 2 + [".log"] * 2
    for i in range(files):
        size = int(math.exp(rng.uniform(math.log(1024), math.log(65536))))
        r = rng.random()
        kind = ("ansi" if r < 0.60 else "utf8" if r < 0.80 else "utf16le" if r < 0.95
                else rng.choice(["utf32le", "utf32be", "utf16be"]))
        units = {"ansi": 1, "utf8": 1, "utf16le": 2, "utf16be": 2}.get(kind, 4)
        pool = latin_pool if kind == "ansi" else unicode_pool
        text = slice_of(rng, pool, max(1, size // units))
        name = f"{rng.choice(COMMON)}-{i:05d}{rng.choice(exts)}"
        with open(os.path.join(tmp, rng.choice(folders), name), "wb") as f:
            f.write(encode(kind, text))
    finish(tmp, folder, stamp)


def make_big(root, scale, stamp):
    folder = os.path.join(root, "big")
    if complete(folder, stamp):
        return
    rng = random.Random(SEED + 1)
    pool = make_pool(rng, COMMON, LATIN1 + UNICODE, 8 << 20)
    tmp = folder + ".tmp"
    shutil.rmtree(tmp, ignore_errors=True)
    os.makedirs(tmp)
    size = max(1 << 20, int((64 << 20) * scale))
    chunk = 1 << 20
    for n in range(8):
        with open(os.path.join(tmp, f"big-{n}.txt"), "wb") as f:
            f.write(b"\xef\xbb\xbf")
            written = 3
            while written < size:
                data = slice_of(rng, pool, chunk).encode("utf-8")[: size - written]
                # Never end inside a character: cut back to a sequence start.
                while data and (data[-1] & 0xC0) == 0x80 or data and data[-1] >= 0xC0:
                    data = data[:-1]
                f.write(data)
                written += len(data)
                if len(data) == 0:
                    break
    finish(tmp, folder, stamp)


def make_flat(root, scale, stamp):
    folder = os.path.join(root, "flat")
    if complete(folder, stamp):
        return
    rng = random.Random(SEED + 2)
    pool = make_pool(rng, COMMON, LATIN1, 1 << 20)
    tmp = folder + ".tmp"
    shutil.rmtree(tmp, ignore_errors=True)
    os.makedirs(tmp)
    exts = [".txt", ".log", ".dat", ".md"]
    for i in range(max(100, int(100000 * scale))):
        name = f"{rng.getrandbits(40):010x}-{i}{rng.choice(exts)}"
        with open(os.path.join(tmp, name), "wb") as f:
            f.write(slice_of(rng, pool, rng.randint(100, 600)).encode("cp1252"))
    finish(tmp, folder, stamp)


def make_huge(root, scale, stamp):
    folder = os.path.join(root, "huge")
    if complete(folder, stamp):
        return
    rng = random.Random(SEED + 3)
    # ASCII only, so that a search in ANSI, UTF-8 or automatic mode reads the same text.
    pool = make_pool(rng, COMMON, ["alpha", "beta", "gamma"], 8 << 20).encode("ascii")
    tmp = folder + ".tmp"
    shutil.rmtree(tmp, ignore_errors=True)
    os.makedirs(tmp)
    size = max(1 << 20, int((3 << 30) * scale))
    chunk = 1 << 20
    with open(os.path.join(tmp, "huge.txt"), "wb") as f:
        written = 0
        while written < size:
            start = rng.randrange(0, len(pool) - chunk)
            data = pool[start:start + min(chunk, size - written)]
            f.write(data)
            written += len(data)
    finish(tmp, folder, stamp)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("root")
    parser.add_argument("--scale", type=float, default=1.0)
    parser.add_argument("--only", choices=["tree", "big", "flat", "huge"], action="append")
    args = parser.parse_args()
    stamp = f"seed={SEED} scale={args.scale}"
    os.makedirs(args.root, exist_ok=True)
    for name, make in (("tree", make_tree), ("big", make_big), ("flat", make_flat), ("huge", make_huge)):
        if (name in args.only) if args.only else name != "huge":
            print(f"corpus {name} ...", file=sys.stderr, flush=True)
            make(args.root, args.scale, stamp)


if __name__ == "__main__":
    main()
