#!/usr/bin/env python3
"""Writes an FM-like file tree for the zip benchmark: mission databases,
object and map binaries, string files and text. Speech (espeak-ng) and
textures (ImageMagick) are made by zip_bench.sh. Deterministic.

    make_corpus.py ROOT                 the large corpus
    make_corpus.py ROOT --big FILE      a 1 GB movie-like file
    make_corpus.py ROOT --many N        N files of 256 bytes in 40 folders, with
                                        ROOT/many.lst naming them as on disk and
                                        ROOT/many_case.lst spelling every third
                                        name in another letter case"""
import os
import random
import struct
import sys

WORDS = ("the guard keeper thief garrett lord mansion vault key lockpick torch water arrow "
         "rope moss flash mine shadow hammerite pagan trickster builder city docks sewer "
         "night watch tower bell gold silver gem scroll book letter chest door window roof "
         "alley street market cathedral crypt zombie haunt burrick spider servant noble "
         "east west north south old new dark light quiet loud careful quickly slowly "
         "and or but if then when while because with without into onto from under over").split()


def text(rng, nwords):
    out, line = [], []
    for _ in range(nwords):
        line.append(rng.choice(WORDS))
        if len(line) > rng.randint(6, 14):
            out.append(" ".join(line).capitalize() + ".")
            line = []
    out.append(" ".join(line))
    return "\n".join(out) + "\n"


def mission(rng, path, size):
    """A tagged chunk database: property records with object ids, positions
    that wander like a level's objects, flags, names, and zero padding."""
    rec = struct.Struct("<iiHHfffI")
    buf = bytearray(b"LGMD" + struct.pack("<II", 0x0E, 0x100) + bytes(244))
    names = [("%s_%s" % (rng.choice(WORDS), rng.choice(WORDS))).encode()[:23].ljust(24, b"\0")
             for _ in range(400)]
    chunk = 0
    while len(buf) < size:
        buf += b"P$" + rng.choice(WORDS).encode()[:10].ljust(10, b"\0") + struct.pack("<III", 1, chunk, 0)
        chunk += 1
        n = rng.randint(200, 3000)
        base = bytearray(rec.size * n)
        x, y, z = rng.uniform(-500, 500), rng.uniform(-500, 500), rng.uniform(-50, 50)
        obj = rng.randint(1, 2000)
        kind = rng.choice((1, 2, 4, 8, 16))
        for i in range(n):
            x += rng.choice((0.0, 0.25, -0.25, 1.0, -1.0))
            y += rng.choice((0.0, 0.5, -0.5))
            rec.pack_into(base, i * rec.size, obj + i, -rng.randint(1, 60), kind, rng.choice((0, 0, 1, 3)),
                          round(x, 2), round(y, 2), round(z, 1), rng.choice((0, 0, 0, 0xFFFFFFFF, 7)))
        buf += base
        if chunk % 3 == 0:
            buf += b"".join(rng.choice(names) for _ in range(rng.randint(50, 400)))
        if chunk % 5 == 0:  # cell and portal data: small alphabet, noisy
            buf += bytes(rng.choice((0, 0, 0, 1, 2, 3, 255)) for _ in range(rng.randint(2000, 20000)))
        if chunk % 7 == 0:
            buf += bytes(rng.randint(4096, 32768))
    with open(path, "wb") as f:
        f.write(buf[:size])


def model(rng, path, nverts):
    out = bytearray(b"LGMM" + struct.pack("<I", nverts))
    v = struct.Struct("<fff")
    for _ in range(nverts):
        out += v.pack(round(rng.gauss(0, 3), 3), round(rng.gauss(0, 3), 3), round(rng.gauss(0, 6), 3))
    out += bytes(rng.randint(0, 255) for _ in range(nverts // 2))
    with open(path, "wb") as f:
        f.write(out)


def big(path, size):
    """A movie-like file: incompressible frames with compressible headers and
    repeats, written in blocks so that memory stays small."""
    rng = random.Random(7)
    block = 1 << 20
    with open(path, "wb") as f:
        done = 0
        while done < size:
            n = min(block, size - done)
            frame = os.urandom(n // 2) + bytes(rng.randint(0, 3) for _ in range(256)) * (n // 512)
            f.write(frame[:n].ljust(n, b"\0"))
            done += n


def many(root, count):
    """Many small files, as a large FM's textures, objects and strings are."""
    rng = random.Random(3)
    kinds = ("Fam", "obj", "Mesh", "strings", "Intrface", "snd", "books", "Motions")
    folders = ["%s/%s%02d" % (kinds[i % len(kinds)], ("Set", "part", "Lib", "grp")[i % 4], i) for i in range(40)]
    names = []
    for i in range(count):
        folder = folders[i % len(folders)]
        os.makedirs(os.path.join(root, folder), exist_ok=True)
        name = "%s/%s%05d.%s" % (folder, ("Tex", "obj", "Sch", "str")[i % 4], i, ("pcx", "bin", "sch", "str")[i % 4])
        body = text(rng, 60).encode()
        with open(os.path.join(root, name), "wb") as f:
            f.write((body * (256 // len(body) + 1))[:256])
        names.append(name)
    with open(os.path.join(root, "thief2.exe"), "wb"):
        pass
    with open(os.path.join(root, "many.lst"), "w", newline="") as f:
        for n in names:
            f.write(n.replace("/", "\\") + "\r\n")
    with open(os.path.join(root, "many_case.lst"), "w", newline="") as f:
        for i, n in enumerate(names):
            f.write((n.swapcase() if i % 3 == 0 else n).replace("/", "\\") + "\r\n")


def main():
    if sys.argv[1] == "--words":  # a line for the speech files
        rng = random.Random(int(sys.argv[2]))
        print(" ".join(rng.choice(WORDS) for _ in range(rng.randint(40, 260))))
        return
    root = sys.argv[1]
    if len(sys.argv) > 3 and sys.argv[2] == "--big":
        big(sys.argv[3], 1 << 30)
        return
    if len(sys.argv) > 3 and sys.argv[2] == "--many":
        many(root, int(sys.argv[3]))
        return
    rng = random.Random(1)
    for d in ("strings/english", "strings/french", "strings/german", "books/english", "obj", "mesh",
              "intrface/english", "snd/sfx"):
        os.makedirs(os.path.join(root, d), exist_ok=True)
    for m in range(1, 8):
        mission(rng, os.path.join(root, "miss%d.mis" % (m + 19)), rng.randint(14, 22) << 20)
    mission(rng, os.path.join(root, "dark.gam"), 6 << 20)
    for i in range(120):
        model(rng, os.path.join(root, "obj", "obj%03d.bin" % i), rng.randint(2000, 40000))
    for i in range(60):
        model(rng, os.path.join(root, "mesh", "ai%02d.cal" % i), rng.randint(500, 5000))
    for lang in ("english", "french", "german"):
        for name in ("titles", "goals", "objnames", "objdescs", "misc"):
            with open(os.path.join(root, "strings", lang, name + ".str"), "w") as f:
                for k in range(rng.randint(100, 1500)):
                    f.write('%s_%d: "%s"\n' % (name, k, text(rng, rng.randint(3, 30)).strip().replace("\n", " ")))
    for i in range(150):
        with open(os.path.join(root, "books", "english", "book%03d.str" % i), "w") as f:
            for p in range(rng.randint(2, 12)):
                f.write('page_%d: "%s"\n' % (p, text(rng, rng.randint(50, 400)).replace("\n", " ")))
    for i in range(40):
        with open(os.path.join(root, "snd", "sfx", "noise%02d.raw" % i), "wb") as f:
            f.write(os.urandom(rng.randint(40, 400) << 10))
    with open(os.path.join(root, "fminfo.txt"), "w") as f:
        f.write(text(rng, 3000))
    with open(os.path.join(root, "readme.txt"), "w") as f:
        f.write(text(rng, 800))


if __name__ == "__main__":
    main()
