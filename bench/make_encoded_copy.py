#!/usr/bin/env python3
"""Copy a make_tree.py tree with a share of its text files in other encodings.

The copy has the same folders, names (UTF-8), sizes of binary files and
modification times as the source.  A reproducible share of the text files
(default 0.333) is re-encoded, in equal thirds, into

* CP932 (``cp932``),
* EUC-JP (``euc_jp``),
* UTF-16: 70 % little-endian with a BOM (``utf-16le-bom``), 15 % big-endian
  with a BOM (``utf-16be-bom``) and 15 % little-endian without one
  (``utf-16le``).

Text is decoded from UTF-8 and encoded again character by character: line
ends, the marker word and every other character stay what they were, so the
files that contained ``quendlemarker`` once still contain it once, now in
their own encoding.  The marker files and the other text files are chosen
separately, so each encoding gets its share of both.  Every Japanese word of
make_tree.py (including half-width kana and full-width digits) exists in
CP932 and EUC-JP; a file that cannot be encoded stops the copy with an error.

Files that keep their bytes (binary files, text files left in UTF-8) are hard
links to the source files when the file system allows it (both trees are only
read), copies otherwise.  A stamp ``<target>.stamp`` next to the copy records
the source stamp, seed, share, the number of files per encoding, the files
holding the marker and the word 見積書 per encoding, and how many re-encoded
files kept their bytes (plain ASCII text is the same in CP932 and EUC-JP as in
UTF-8); when it matches, the copy is not rebuilt.
A copy with another stamp is removed and rebuilt; a non-empty folder without a
stamp is never touched.
"""

import argparse
import errno
import json
import os
import random
import shutil
import sys
import time

sys.dont_write_bytecode = True  # no __pycache__ in the source folder
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_tree  # noqa: E402  (the word lists, extensions and marker word)

COPY_VERSION = 1
JAPANESE_WORD = "見積書"  # a word of make_tree.JAPANESE_WORDS, counted per encoding
UTF8 = "utf-8"
FAMILIES = ("cp932", "euc_jp", "utf-16")
# UTF-16 variants, chosen by position in a repeating block of 20 files.
UTF16_CYCLE = ("utf-16le-bom",) * 14 + ("utf-16be-bom",) * 3 + ("utf-16le",) * 3
ENCODINGS = (UTF8, "cp932", "euc_jp", "utf-16le-bom", "utf-16be-bom", "utf-16le")
LINK_FALLBACK_ERRNOS = {errno.EXDEV, errno.EPERM, errno.EMLINK, errno.ENOTSUP}


class CopyError(Exception):
    pass


def encode(text, encoding):
    """Return the bytes of text in one of ENCODINGS (strict)."""
    if encoding == "utf-16le-bom":
        return b"\xff\xfe" + text.encode("utf-16-le")
    if encoding == "utf-16be-bom":
        return b"\xfe\xff" + text.encode("utf-16-be")
    if encoding == "utf-16le":
        return text.encode("utf-16-le")
    data = text.encode(encoding)
    if data.decode(encoding) != text:
        raise UnicodeError("%s does not give the text back" % encoding)
    return data


def check_word_lists():
    """Every Japanese word make_tree.py writes must exist in CP932 and EUC-JP."""
    bad = []
    for word in make_tree.JAPANESE_WORDS + make_tree.FOLDER_JAPANESE:
        for encoding in ("cp932", "euc_jp"):
            try:
                encode(word, encoding)
            except UnicodeError as e:
                bad.append("%r in %s: %s" % (word, encoding, e))
    if JAPANESE_WORD not in make_tree.JAPANESE_WORDS:
        bad.append("%r is not one of make_tree's words" % JAPANESE_WORD)
    if bad:
        raise CopyError("word list cannot be re-encoded:\n  " + "\n  ".join(bad))


def scan(src):
    """Return (folders, files) below src as relative byte paths, sorted;
    folders parents first, without the top folder itself."""
    folders, files = [], []
    stack = [b""]
    top = os.fsencode(src)
    while stack:
        rel = stack.pop()
        with os.scandir(os.path.join(top, rel) if rel else top) as it:
            for entry in it:
                path = os.path.join(rel, entry.name) if rel else entry.name
                if entry.is_dir(follow_symlinks=False):
                    folders.append(path)
                    stack.append(path)
                elif entry.is_file(follow_symlinks=False):
                    files.append(path)
                else:
                    raise CopyError("not a file or folder: %s" % os.fsdecode(path))
    folders.sort(key=lambda p: (p.count(b"/"), p))
    files.sort()
    return folders, files


def extension(path):
    name = path.rsplit(b"/", 1)[-1]
    stem, dot, ext = name.rpartition(b".")
    return ext.decode("ascii", "replace") if dot else ""


def choose(rng, text_files, marked, share):
    """Return {relative path: encoding} for the files to re-encode."""
    chosen = {}
    for group in ([p for p in text_files if p in marked],
                  [p for p in text_files if p not in marked]):
        picked = rng.sample(group, round(len(group) * share))
        for i, path in enumerate(picked):
            family = FAMILIES[i % 3]
            if family == "utf-16":
                family = UTF16_CYCLE[(i // 3) % len(UTF16_CYCLE)]
            chosen[path] = family
    return chosen


def link_or_copy(src, dst, state):
    if state["link"]:
        try:
            os.link(src, dst)
            state["linked"] += 1
            return
        except OSError as e:
            if e.errno not in LINK_FALLBACK_ERRNOS:
                raise
            state["link"] = False
            print("make_encoded_copy: hard links not possible (%s); copying" % e.strerror,
                  file=sys.stderr)
    shutil.copy2(src, dst)
    state["copied"] += 1


def build(src, dst, seed, share):
    started = time.monotonic()
    check_word_lists()
    folders, files = scan(src)
    top_src, top_dst = os.fsencode(src), os.fsencode(dst)
    marker = make_tree.MARKER_WORD.encode("ascii")
    probe = JAPANESE_WORD.encode("utf-8")
    text_exts = set(make_tree.TEXT_EXTS)

    # Read the text files once: which hold the marker, which the Japanese word.
    text_files, marked, probed = [], set(), set()
    for path in files:
        if extension(path) not in text_exts:
            continue
        with open(os.path.join(top_src, path), "rb") as f:
            data = f.read()
        text_files.append(path)
        n = data.lower().count(marker)
        if n > 1:
            raise CopyError("%s holds %r %d times" % (os.fsdecode(path), marker, n))
        if n:
            marked.add(path)
        if probe in data:
            probed.add(path)

    chosen = choose(random.Random(seed), text_files, marked, share)

    for path in folders:
        os.mkdir(os.path.join(top_dst, path))

    counts = dict.fromkeys(ENCODINGS, 0)
    counts["binary"] = 0
    marker_files = dict.fromkeys(ENCODINGS, 0)
    word_files = dict.fromkeys(ENCODINGS, 0)
    # Re-encoded files that are plain ASCII keep their bytes in CP932 and EUC-JP.
    same_bytes = dict.fromkeys(ENCODINGS[1:], 0)
    state = {"link": True, "linked": 0, "copied": 0}
    flags = os.O_WRONLY | os.O_CREAT | os.O_EXCL | getattr(os, "O_CLOEXEC", 0)
    text_set = set(text_files)
    total = 0
    for path in files:
        s, d = os.path.join(top_src, path), os.path.join(top_dst, path)
        encoding = chosen.get(path)
        if path in text_set:
            kind = encoding or UTF8
            counts[kind] += 1
            marker_files[kind] += path in marked
            word_files[kind] += path in probed
        else:
            counts["binary"] += 1
        if encoding is None:
            link_or_copy(s, d, state)
            total += os.stat(d).st_size
            continue
        with open(s, "rb") as f:
            raw = f.read()
        try:
            data = encode(raw.decode("utf-8"), encoding)
        except UnicodeError as e:
            raise CopyError("%s: cannot be written in %s: %s"
                            % (os.fsdecode(path), encoding, e)) from None
        same_bytes[encoding] += data == raw
        fd = os.open(d, flags, 0o644)
        try:
            view = memoryview(data)
            while view:
                view = view[os.write(fd, view):]
        finally:
            os.close(fd)
        st = os.stat(s)
        os.utime(d, ns=(st.st_atime_ns, st.st_mtime_ns))
        total += len(data)
    # Folder times last: creating entries changed them.
    for path in folders + [b""]:
        st = os.stat(os.path.join(top_src, path) if path else top_src)
        os.utime(os.path.join(top_dst, path) if path else top_dst,
                 ns=(st.st_atime_ns, st.st_mtime_ns))
    return {
        "folders": len(folders), "files": len(files), "bytes": total,
        "counts": counts, "marker_files": marker_files,
        "marker_word": make_tree.MARKER_WORD,
        "japanese_word": JAPANESE_WORD, "japanese_word_files": word_files,
        "same_bytes": same_bytes,
        "hard_links": state["linked"], "copies": state["copied"],
        "seconds": round(time.monotonic() - started, 1),
    }


def read_json(path):
    try:
        with open(path, encoding="utf-8") as f:
            return json.load(f)
    except (OSError, ValueError):
        return {}


def write_json(path, info):
    tmp = path + ".tmp"
    with open(tmp, "w", encoding="utf-8") as f:
        json.dump(info, f, indent=1, sort_keys=True, ensure_ascii=False)
        f.write("\n")
    os.replace(tmp, path)


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("source", help="tree built by make_tree.py (with SOURCE.stamp)")
    ap.add_argument("target", help="folder to build the copy in (created if missing)")
    ap.add_argument("--seed", type=int, default=1, help="random seed (default 1)")
    ap.add_argument("--share", type=float, default=0.333,
                    help="share of the text files to re-encode (default 0.333)")
    ap.add_argument("--force", action="store_true",
                    help="rebuild even when the stamp says the copy is up to date")
    args = ap.parse_args(argv)
    if not 0.0 <= args.share <= 1.0:
        ap.error("--share must be between 0 and 1")

    src = os.path.abspath(args.source)
    dst = os.path.abspath(args.target)
    src_stamp_path, stamp_path = src + ".stamp", dst + ".stamp"
    if not os.path.isdir(src) or not os.path.isfile(src_stamp_path):
        print("make_encoded_copy: %s is not a tree made by make_tree.py (no %s)"
              % (src, src_stamp_path), file=sys.stderr)
        return 2
    if dst == src or dst.startswith(src + os.sep) or src.startswith(dst + os.sep):
        print("make_encoded_copy: %s and %s overlap" % (src, dst), file=sys.stderr)
        return 2
    source = read_json(src_stamp_path)
    params = {"generator": COPY_VERSION, "source": source,
              "seed": args.seed, "share": args.share, "complete": True}

    old = read_json(stamp_path) if os.path.exists(stamp_path) else None
    if (old is not None and not args.force and os.path.isdir(dst)
            and all(old.get(k) == v for k, v in params.items())):
        print("make_encoded_copy: %s is up to date (%s)" % (dst, stamp_path))
        return 0

    if os.path.isdir(dst) and os.listdir(dst):
        if old is None:
            print("make_encoded_copy: %s exists, is not empty and has no stamp %s; "
                  "refusing to replace it" % (dst, stamp_path), file=sys.stderr)
            return 2
        print("make_encoded_copy: removing the old copy %s" % dst)
        shutil.rmtree(dst)
    os.makedirs(dst, exist_ok=True)
    # An interrupted build leaves this stamp, so the next run rebuilds the copy.
    write_json(stamp_path, dict(params, complete=False))

    try:
        info = build(src, dst, args.seed, args.share)
    except CopyError as e:
        print("make_encoded_copy: %s" % e, file=sys.stderr)
        return 3
    expected = source.get("marker_files")
    found = sum(info["marker_files"].values())
    if expected is not None and found != expected:
        print("make_encoded_copy: %d files hold %r, the source stamp says %d"
              % (found, make_tree.MARKER_WORD, expected), file=sys.stderr)
        return 3

    write_json(stamp_path, dict(params, **info))
    c = info["counts"]
    print("make_encoded_copy: built %s in %.1f s: %d files, %.0f MiB; text files "
          "%s; marker files %s; %d hard links, %d copies"
          % (dst, info["seconds"], info["files"], info["bytes"] / 2**20,
             ", ".join("%s %d" % (e, c[e]) for e in ENCODINGS),
             ", ".join("%s %d" % (e, info["marker_files"][e]) for e in ENCODINGS),
             info["hard_links"], info["copies"]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
