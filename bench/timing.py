#!/usr/bin/env python3
"""Time shell commands side by side and print a table (helper of compare.sh).

Reads the plan from stdin, one item per line, fields separated by TABs:

    RUN     <task> <command>          a command to time; the first RUN of a task
                                      is the subject the others are compared to
    TARGET  <task> <command> <limit> [<label> [<ratio>]]
                                      "subject time / command time" should be
                                      at most <limit>; the command may be a RUN
                                      of another task.  The target is printed
                                      as <label> (default: the task) and
                                      <ratio> (default: "<subject> / <command>")
    NOTE    <text>                    printed above the table

Commands run with ``bash -c`` in the caller's environment (so they can use
"$TREE", "$QVSEARCH", ...).  Every command's stdout goes through a pipe into
``cat > /dev/null``, the same way for all, so no program sees /dev/null on its
stdout; stderr is discarded during timed runs.

For each command: one warm-up run that also counts the lines the command
writes to stdout (stderr is not counted), then --runs timed rounds.  Rounds
are interleaved (command A, B, C, A, B, C, ...) so a slow spell of the machine
hits every command alike.  Reported: median, minimum and maximum wall time,
and the median CPU time (user+sys of the command and its children).
"""

import argparse
import os
import resource
import statistics
import subprocess
import sys
import threading
import time
import unicodedata


def cpu_of_children():
    r = resource.getrusage(resource.RUSAGE_CHILDREN)
    return r.ru_utime + r.ru_stime


def run_timed(command):
    """Run `command | cat > /dev/null`; return (wall s, cpu s, exit status)."""
    cpu0 = cpu_of_children()
    t0 = time.perf_counter()
    producer = subprocess.Popen(["bash", "-c", command], stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL)
    sink = subprocess.Popen(["cat"], stdin=producer.stdout, stdout=subprocess.DEVNULL)
    producer.stdout.close()
    status = producer.wait()
    sink.wait()
    wall = time.perf_counter() - t0
    return wall, cpu_of_children() - cpu0, status


def run_counted(command):
    """Run the command once, counting stdout lines; return (lines, status, stderr tail)."""
    proc = subprocess.Popen(["bash", "-c", command], stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE)
    lines = 0
    # Read stderr on the side so a chatty command cannot block on it.
    err_chunks = []
    reader = threading.Thread(target=lambda: err_chunks.append(proc.stderr.read()))
    reader.start()
    for chunk in iter(lambda: proc.stdout.read(1 << 16), b""):
        lines += chunk.count(b"\n")
    status = proc.wait()
    reader.join()
    err = b"".join(err_chunks).decode("utf-8", "replace").strip().splitlines()
    return lines, status, err[-3:]


def parse_plan(text):
    notes, runs, targets = [], [], []
    for raw in text.splitlines():
        if not raw.strip():
            continue
        fields = raw.split("\t")
        kind = fields[0]
        if kind == "RUN" and len(fields) == 3:
            runs.append((fields[1], fields[2]))
        elif kind == "TARGET" and 4 <= len(fields) <= 6:
            label = fields[4] if len(fields) > 4 else fields[1]
            shown = fields[5] if len(fields) > 5 else None
            targets.append((fields[1], fields[2], float(fields[3]), label, shown))
        elif kind == "NOTE" and len(fields) >= 2:
            notes.append("\t".join(fields[1:]))
        else:
            raise SystemExit("timing.py: bad plan line: %r" % raw)
    return notes, runs, targets


def width(text):
    """Columns text takes in a terminal: wide (CJK) characters take two."""
    return sum(2 if unicodedata.east_asian_width(c) in "WF" else 1 for c in text)


def ljust(text, columns):
    return text + " " * max(0, columns - width(text))


def fmt_ratio(x):
    return "%.2fx" % x if x is not None else "-"


def main():
    ap = argparse.ArgumentParser(description="time commands side by side")
    ap.add_argument("--runs", type=int, default=5, help="timed runs per command (default 5)")
    ap.add_argument("--subject", default="subject",
                    help="short name of the program the others are compared to")
    args = ap.parse_args()
    if args.runs < 1:
        ap.error("--runs must be at least 1")
    notes, plan, targets = parse_plan(sys.stdin.read())
    if not plan:
        raise SystemExit("timing.py: nothing to run")

    load_before = os.getloadavg()[0]
    counts = {}
    for task, command in plan:
        print("warm-up: %s" % command, file=sys.stderr, flush=True)
        counts[command] = run_counted(command)

    walls = {c: [] for _, c in plan}
    cpus = {c: [] for _, c in plan}
    failed = {}
    for r in range(args.runs):
        print("round %d/%d" % (r + 1, args.runs), file=sys.stderr, flush=True)
        for task, command in plan:
            wall, cpu, status = run_timed(command)
            walls[command].append(wall)
            cpus[command].append(cpu)
            if status != 0:
                failed[command] = status

    median = {c: statistics.median(v) for c, v in walls.items()}
    subject = {}
    for task, command in plan:
        subject.setdefault(task, command)

    for n in notes:
        print(n)
    print("Load average (1 min): %.2f before, %.2f after the runs" % (load_before, os.getloadavg()[0]))
    print()
    cw = max(width(c) for _, c in plan)
    tw = max(len(t) for t, _ in plan)
    ratio_label = "%s/peer" % args.subject
    rw = max(9, len(ratio_label))
    header = "%-*s  %-*s  %7s  %8s  %8s  %8s  %8s  %*s" % (
        tw, "task", cw, "command", "lines", "median s", "min s", "max s", "cpu s",
        rw, ratio_label)
    print(header)
    print("-" * len(header))
    last_task = None
    for task, command in plan:
        lines, status, _ = counts[command]
        ratio = None
        if command != subject[task] and median[command] > 0:
            ratio = median[subject[task]] / median[command]
        print("%-*s  %s  %7d  %8.3f  %8.3f  %8.3f  %8.3f  %*s" % (
            tw, task if task != last_task else "", ljust(command, cw), lines,
            median[command], min(walls[command]), max(walls[command]),
            statistics.median(cpus[command]), rw, fmt_ratio(ratio)))
        last_task = task
    print()
    print("%s = median time of %s (first line of each task) / median time of that "
          "line's command;\nbelow 1.00x %s is faster." % (ratio_label, args.subject,
                                                          args.subject))

    problems = [(c, counts[c][1], counts[c][2]) for _, c in plan if counts[c][1] != 0]
    problems += [(c, s, []) for c, s in failed.items() if counts[c][1] == 0]
    if problems:
        print()
        for command, status, err in problems:
            print("note: exit status %d from: %s" % (status, command))
            for line in err:
                print("      stderr: %s" % line)

    if targets:
        print()
        print("Targets:")
        lw = max([16] + [len(t[3]) + 1 for t in targets])
        for task, command, limit, label, shown in targets:
            if shown is None:
                shown = "%s / %s" % (args.subject, command)
            if task not in subject or command not in median:
                print("  %-*s %s: not measured" % (lw, label, shown))
                continue
            ratio = median[subject[task]] / median[command] if median[command] > 0 else None
            broken = [c for c in (subject[task], command) if counts[c][1] != 0 or c in failed]
            if broken:
                verdict = "NOT VALID (a command failed, see the notes above)"
            else:
                verdict = "met" if ratio is not None and ratio <= limit else "MISSED"
            print("  %-*s %s = %s  (target <= %.1fx)  %s"
                  % (lw, label, shown, fmt_ratio(ratio), limit, verdict))
    return 0


if __name__ == "__main__":
    sys.exit(main())
