#!/usr/bin/env python3
"""Build a seeded, reproducible synthetic file tree for the search benchmarks.

The tree imitates a busy office share:

* ``--folders`` folders (default 20,000) nested up to MAX_DEPTH levels below
  the target folder, with ASCII and Japanese (UTF-8, NFC) names;
* ``--files`` files (default 200,000) spread over those folders and the target
  itself, with ASCII, Japanese and mixed names and a mix of extensions
  (.txt .log .md .csv .c .h .html .xml .json as text; .jpg .png .bin .dat as
  binary data that starts with a JPEG/PNG-like header and contains NUL bytes);
* text sizes mostly 0.5-8 KiB (log-uniform), about 0.5 % of the files
  16-256 KiB;
* exactly ``round(files * 0.225)`` file names contain the word ``report`` in a
  random casing ("report", "Report", "REPORT", "rEpORt", ...); no folder name
  and no other file name contains it, so ``find TREE -iname '*report*'`` prints
  exactly that many lines (45,000 with the defaults);
* exactly ``round(files * 0.01)`` text files contain the marker word
  ``quendlemarker`` once, in a random casing, at a random place of the text; no
  other file contains it (2,000 with the defaults).

The same seed and counts always give the same names, contents and
modification times.  A stamp file ``<target>.stamp`` (next to the tree, not in
it, so it does not show up in listings) records the parameters; when it
matches, the tree is not rebuilt.  A tree built with other parameters is
removed and rebuilt; a non-empty folder without a stamp is never touched.
"""

import argparse
import json
import math
import os
import random
import shutil
import sys
import time

GENERATOR_VERSION = 1
NAME_WORD = "report"
NAME_SHARE = 0.225
MARKER_WORD = "quendlemarker"
MARKER_SHARE = 0.01
MAX_DEPTH = 6
TOP_LEVEL_FOLDERS = 24

# Words for names and text.  None of them contains NAME_WORD or MARKER_WORD,
# and names always separate words, so the word cannot appear by accident.
ASCII_WORDS = (
    "budget invoice meeting notes draft summary minutes plan design schedule "
    "photo scan backup data log config readme todo memo letter contract quote "
    "order sales inventory customer project release build test results review "
    "agenda proposal analysis forecast payroll expenses travel training manual "
    "guide policy template checklist roadmap status weekly monthly annual final "
    "old new copy tmp archive export import list index table chart diagram "
    "slides handout survey feedback issue ticket patch source header module "
    "client server network printer office kitchen holiday party welcome").split()
JAPANESE_WORDS = (
    "会議 議事録 資料 見積書 請求書 契約書 写真 売上 予算 計画 設計書 手順書 "
    "議題 東京 大阪 名古屋 福岡 札幌 営業部 開発部 総務部 人事 経理 顧客 案件 "
    "製品 打ち合わせ メモ バックアップ データ テスト ログ まとめ 下書き 最終版 "
    "確認 報告 週報 月報 日報 提案書 分析 集計 一覧 名簿 案内 お知らせ 社内 "
    "共有 保存 旧版 新規 ｻﾝﾌﾟﾙ 第１版 第２版 令和 平成").split()
FOLDER_ASCII = (
    "projects shared users public archive scans photos docs finance sales "
    "engineering hr legal marketing support it backup templates clients "
    "vendors drafts misc incoming outgoing team private common tools").split()
FOLDER_JAPANESE = (
    "営業部 開発部 総務部 経理部 人事部 共有 個人 過去分 案件 顧客 資料 写真 "
    "会議 作業用 保管 部署 本社 支社 東京 大阪 プロジェクト 取引先").split()

TEXT_EXTS = ("txt", "log", "md", "csv", "c", "h", "html", "xml", "json")
TEXT_WEIGHTS = (30, 12, 10, 10, 8, 6, 8, 3, 3)
BINARY_EXTS = ("jpg", "png", "bin", "dat")
BINARY_WEIGHTS = (5, 2, 2, 1)
BINARY_SHARE = 0.10
LARGE_SHARE = 0.005
POOL_BYTES = 1 << 20


def log_uniform(rng, lo, hi):
    return int(math.exp(rng.uniform(math.log(lo), math.log(hi))))


def random_casing(rng, word):
    return "".join(c.upper() if rng.random() < 0.5 else c.lower() for c in word)


def styled(rng, word):
    r = rng.random()
    if r < 0.6:
        return word
    if r < 0.85:
        return word.capitalize()
    return word.upper()


def pick_word(rng, japanese_share):
    if rng.random() < japanese_share:
        return rng.choice(JAPANESE_WORDS)
    return styled(rng, rng.choice(ASCII_WORDS))


def make_text_pools(rng):
    """Return {kind: bytes} with about POOL_BYTES of UTF-8 text per kind."""
    pools = {}

    def fill(line_maker):
        lines, size = [], 0
        while size < POOL_BYTES + 300 * 1024:
            line = line_maker()
            lines.append(line)
            size += len(line.encode("utf-8")) + 1
        return ("\n".join(lines) + "\n").encode("utf-8")

    def prose():
        return " ".join(pick_word(rng, 0.2) for _ in range(rng.randint(6, 16))) + "."

    def logline():
        return "2023-%02d-%02d %02d:%02d:%02d %s %s" % (
            rng.randint(1, 12), rng.randint(1, 28), rng.randint(0, 23),
            rng.randint(0, 59), rng.randint(0, 59),
            rng.choice(("INFO", "WARN", "ERROR", "DEBUG")),
            " ".join(pick_word(rng, 0.15) for _ in range(rng.randint(4, 10))))

    def csvline():
        return ",".join((str(rng.randint(1, 99999)), pick_word(rng, 0.3),
                         pick_word(rng, 0.3), "%.2f" % rng.uniform(0, 10000),
                         "2023-%02d-%02d" % (rng.randint(1, 12), rng.randint(1, 28))))

    def codeline():
        a, b = rng.choice(ASCII_WORDS), rng.choice(ASCII_WORDS)
        return rng.choice((
            "static int %s_%s(int n) { return n * %d; }" % (a, b, rng.randint(2, 99)),
            "    /* %s */" % " ".join(pick_word(rng, 0.1) for _ in range(5)),
            "#define %s_%s %d" % (a.upper(), b.upper(), rng.randint(0, 4096)),
            "    if (%s > %d) %s(%s);" % (a, rng.randint(0, 50), b, a),
            "}",
        ))

    def htmlline():
        return "<p class=\"%s\">%s</p>" % (
            rng.choice(ASCII_WORDS),
            " ".join(pick_word(rng, 0.25) for _ in range(rng.randint(5, 12))))

    pools["prose"] = fill(prose)
    pools["log"] = fill(logline)
    pools["csv"] = fill(csvline)
    pools["code"] = fill(codeline)
    pools["html"] = fill(htmlline)
    return pools


POOL_OF_EXT = {"txt": "prose", "md": "prose", "log": "log", "csv": "csv",
               "c": "code", "h": "code", "html": "html", "xml": "html",
               "json": "csv"}


def char_start(data, i):
    """Move i forward to the start of a UTF-8 character."""
    while i < len(data) and (data[i] & 0xC0) == 0x80:
        i += 1
    return i


def make_binary_pool(rng):
    return rng.randbytes(POOL_BYTES + 300 * 1024)


def binary_header(ext):
    if ext == "png":
        return b"\x89PNG\r\n\x1a\n\x00\x00\x00\rIHDR"
    if ext == "jpg":
        return b"\xff\xd8\xff\xe0\x00\x10JFIF\x00\x01\x01\x00"
    return b"\x7fQDAT\x00\x00\x01"


def unique_name(name, taken):
    if name not in taken:
        taken.add(name)
        return name
    stem, dot, ext = name.rpartition(".")
    if not dot:
        stem, ext = name, ""
    n = 2
    while True:
        candidate = "%s (%d)%s%s" % (stem, n, "." if dot else "", ext)
        if candidate not in taken:
            taken.add(candidate)
            return candidate
        n += 1


def folder_name(rng):
    r = rng.random()
    if r < 0.35:
        base = rng.choice(FOLDER_ASCII)
    elif r < 0.6:
        base = rng.choice(FOLDER_JAPANESE)
    elif r < 0.8:
        base = "%d_%s" % (rng.randint(2010, 2024),
                          rng.choice(FOLDER_ASCII + FOLDER_JAPANESE))
    else:
        base = "%s %s" % (pick_word(rng, 0.4), pick_word(rng, 0.4))
    return base


def file_stem(rng, with_word):
    japanese_share = rng.choice((0.0, 0.0, 0.3, 0.9))
    parts = [pick_word(rng, japanese_share) for _ in range(rng.randint(1, 3))]
    if rng.random() < 0.5:
        parts.append(rng.choice(("%04d" % rng.randint(0, 9999),
                                 "2023%02d%02d" % (rng.randint(1, 12), rng.randint(1, 28)),
                                 "v%d" % rng.randint(1, 9),
                                 "%d" % rng.randint(1, 500))))
    if with_word:
        parts.insert(rng.randint(0, len(parts)), random_casing(rng, NAME_WORD))
    sep = rng.choice(("_", "_", "-", " ", "."))
    return sep.join(parts)


def plan_tree(rng, n_files, n_folders):
    """Return (folders, files): folders as (parent index, name), index 0 the root;
    files as (folder index, name, ext, size, marker casing or None)."""
    folders = [(-1, "")]
    depth = [0]
    eligible = [0]
    taken = [set()]
    for i in range(1, n_folders + 1):
        if i <= TOP_LEVEL_FOLDERS:
            parent = 0
        else:
            parent = eligible[rng.randrange(1, len(eligible))]
        name = unique_name(folder_name(rng), taken[parent])
        folders.append((parent, name))
        depth.append(depth[parent] + 1)
        taken.append(set())
        if depth[i] < MAX_DEPTH:
            eligible.append(i)

    n_named = round(n_files * NAME_SHARE)
    named = set(rng.sample(range(n_files), n_named))
    kinds = []
    for i in range(n_files):
        if rng.random() < BINARY_SHARE:
            kinds.append(rng.choices(BINARY_EXTS, BINARY_WEIGHTS)[0])
        else:
            kinds.append(rng.choices(TEXT_EXTS, TEXT_WEIGHTS)[0])
    text_indices = [i for i in range(n_files) if kinds[i] in POOL_OF_EXT]
    n_marked = round(n_files * MARKER_SHARE)
    marked = set(rng.sample(text_indices, n_marked))

    files = []
    for i in range(n_files):
        folder = rng.randrange(0, n_folders + 1)
        ext = kinds[i]
        name = unique_name("%s.%s" % (file_stem(rng, i in named), ext), taken[folder])
        if rng.random() < LARGE_SHARE:
            size = log_uniform(rng, 16 * 1024, 256 * 1024)
        else:
            size = log_uniform(rng, 512, 8 * 1024)
        marker = random_casing(rng, MARKER_WORD) if i in marked else None
        files.append((folder, name, ext, size, marker))
    return folders, files


def write_tree(target, rng, folders, files):
    pools = make_text_pools(rng)
    binary = make_binary_pool(rng)
    paths = [target]
    for parent, name in folders[1:]:
        path = os.path.join(paths[parent], name)
        os.mkdir(path)
        paths.append(path)

    t_lo = 1420070400  # 2015-01-01
    t_hi = 1735603200  # 2024-12-31
    flags = os.O_WRONLY | os.O_CREAT | os.O_EXCL | getattr(os, "O_CLOEXEC", 0)
    total = 0
    for folder, name, ext, size, marker in files:
        pool_name = POOL_OF_EXT.get(ext)
        if pool_name is None:
            head = binary_header(ext)
            off = rng.randrange(0, len(binary) - size)
            data = head + binary[off:off + max(0, size - len(head))]
        else:
            pool = pools[pool_name]
            off = char_start(pool, rng.randrange(0, len(pool) - size - 8))
            end = char_start(pool, off + size)
            data = pool[off:end]
            if marker is not None:
                at = rng.randrange(0, len(data) + 1)
                at = char_start(data, at)
                # Keep the marker a word of its own.
                data = data[:at] + b" " + marker.encode("ascii") + b" " + data[at:]
        path = os.path.join(paths[folder], name)
        fd = os.open(path, flags, 0o644)
        try:
            view = memoryview(data)
            while view:
                n = os.write(fd, view)
                view = view[n:]
        finally:
            os.close(fd)
        mtime = rng.randrange(t_lo, t_hi)
        atime = mtime + rng.randrange(0, 86400 * 90)
        os.utime(path, (atime, mtime))
        total += len(data)
    # Folder times last: creating entries above changed them.
    for path in paths:
        mtime = rng.randrange(t_lo, t_hi)
        os.utime(path, (mtime, mtime))
    return total


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("target", help="folder to build the tree in (created if missing)")
    ap.add_argument("--seed", type=int, default=1, help="random seed (default 1)")
    ap.add_argument("--files", type=int, default=200000, help="number of files (default 200000)")
    ap.add_argument("--folders", type=int, default=20000,
                    help="number of folders below the target (default 20000)")
    ap.add_argument("--force", action="store_true",
                    help="rebuild even when the stamp says the tree is up to date")
    args = ap.parse_args(argv)
    if args.files < 1 or args.folders < 1:
        ap.error("--files and --folders must be positive")

    target = os.path.abspath(args.target)
    stamp_path = target + ".stamp"
    params = {"generator": GENERATOR_VERSION, "seed": args.seed,
              "files": args.files, "folders": args.folders}

    old = None
    if os.path.exists(stamp_path):
        try:
            with open(stamp_path, encoding="utf-8") as f:
                old = json.load(f)
        except (OSError, ValueError):
            old = {}
    if (old is not None and not args.force and os.path.isdir(target)
            and all(old.get(k) == v for k, v in params.items())):
        print("make_tree: %s is up to date (%s)" % (target, stamp_path))
        return 0

    if os.path.isdir(target) and os.listdir(target):
        if old is None:
            print("make_tree: %s exists, is not empty and has no stamp %s; "
                  "refusing to replace it" % (target, stamp_path), file=sys.stderr)
            return 2
        print("make_tree: removing the old tree %s" % target)
        shutil.rmtree(target)
    if os.path.exists(stamp_path):
        os.remove(stamp_path)
    os.makedirs(target, exist_ok=True)

    started = time.monotonic()
    rng = random.Random(args.seed)
    folders, files = plan_tree(rng, args.files, args.folders)
    name_hits = sum(1 for f in files if NAME_WORD in f[1].casefold())
    name_hits += sum(1 for f in folders if NAME_WORD in f[1].casefold())
    marker_files = sum(1 for f in files if f[4] is not None)
    if name_hits != round(args.files * NAME_SHARE):
        print("make_tree: internal error: %d names contain %r" % (name_hits, NAME_WORD),
              file=sys.stderr)
        return 3
    total = write_tree(target, rng, folders, files)
    elapsed = time.monotonic() - started

    info = dict(params)
    info.update({
        "entries": len(files) + len(folders) - 1,
        "name_word": NAME_WORD, "name_hits": name_hits,
        "marker_word": MARKER_WORD, "marker_files": marker_files,
        "bytes": total,
    })
    tmp = stamp_path + ".tmp"
    with open(tmp, "w", encoding="utf-8") as f:
        json.dump(info, f, indent=1, sort_keys=True)
        f.write("\n")
    os.replace(tmp, stamp_path)
    print("make_tree: built %s in %.1f s: %d files, %d folders, %.0f MiB; "
          "%d names contain %r, %d files contain %r"
          % (target, elapsed, len(files), len(folders) - 1, total / 2**20,
             name_hits, NAME_WORD, marker_files, MARKER_WORD))
    return 0


if __name__ == "__main__":
    sys.exit(main())
