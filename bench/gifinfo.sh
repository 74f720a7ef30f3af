#!/usr/bin/env bash
# Whole-process GIF decoding: build/lumivo-gifinfo against build/bench/giflib_gifinfo (the
# same work with giflib: decode, hash every image's indices, print one line) on the four
# files of bench_gif, in alternating runs, each figure the whole process from its start to
# its end (start-up included: a user's command pays it); the start-up alone, on a 1 x 1 GIF,
# is printed beside. Checks that both print the same. Prints best and median of RUNS
# (default 7) and the ratio of the medians giflib / Lumivo.
#   bench/gifinfo.sh [RUNS]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
runs=${1:-7}
# giflib, the reference; the benchmarks are built with the tests.
"$here/scripts/install-packages" libgif-dev
LUMIVO_TESTS=ON "$here/scripts/setup" >&2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
QT_QPA_PLATFORM=offscreen "$here/build/bench/bench_gif" --write "$work" >/dev/null
# 1 x 1, one colour: the smallest file both read.
printf 'GIF89a\1\0\1\0\0\0\0,\0\0\0\0\1\0\1\0\0\2\2D\1\0;' >"$work/tiny.gif"
python3 - "$runs" "$here/build/lumivo-gifinfo" "$here/build/bench/giflib_gifinfo" "$work" <<'PY'
import os, subprocess, sys, time
runs, ours, theirs, work = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
files = ["4000x3000_256_colours.gif", "640x480_100_frames.gif", "8000x8000_1-bit_lines.gif", "2000x2000_interlaced.gif"]

def once(program, path):
    start = time.perf_counter()
    out = subprocess.run([program, path], stdout=subprocess.PIPE, check=True).stdout
    return time.perf_counter() - start, out.split(b" ", 1)[1]

tiny = os.path.join(work, "tiny.gif")
start_ours = min(once(ours, tiny)[0] for _ in range(runs))
start_theirs = min(once(theirs, tiny)[0] for _ in range(runs))
print(f"whole process, {runs} alternating runs each, start-up included "
      f"(alone, on a 1 x 1 GIF: lumivo-gifinfo {start_ours*1000:.1f} ms, giflib {start_theirs*1000:.1f} ms); "
      f"load {' '.join(open('/proc/loadavg').read().split()[:3])}")
print(f"{'file':28} {'Lumivo best/median ms':>22} {'giflib best/median ms':>22} {'ratio':>6}")
for name in files:
    path = os.path.join(work, name)
    a, b = [], []
    for _ in range(runs):
        t, out_a = once(ours, path); a.append(t)
        t, out_b = once(theirs, path); b.append(t)
        if out_a != out_b:
            sys.exit(f"{name}: the two programs disagree:\n{out_a[:200]}\n{out_b[:200]}")
    a.sort(); b.sort()
    med = lambda v: v[len(v) // 2]
    print(f"{name:28} {a[0]*1000:10.1f} /{med(a)*1000:9.1f} {b[0]*1000:10.1f} /{med(b)*1000:9.1f} {med(b)/med(a):6.2f}")
PY
