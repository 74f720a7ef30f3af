#!/usr/bin/env bash
# First paint: from starting a program to its picture on the X server, measured with
# bench/firstpaint/firstpaint.c (it reads back only what the server reports as drawn).
# Compares, in alternating runs on one X server: lumivo --slideshow PICTURE against the
# smallest Qt program showing the same picture (bench/firstpaint/qt-floor) and against feh,
# for a 1500 x 1000 JPEG and a 6000 x 4000 JPEG (photo-like: noise, the picture's middle red), and lumivo started from an empty folder
# against one of 20 000 files. Prints best and median of RUNS (default 7) for each, and the
# ratios of the medians.
#   bench/firstpaint.sh [RUNS]      (needs DISPLAY, or starts an Xvfb of its own)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
runs=${1:-7}
# What only this benchmark needs: its X server and damage reports, feh, a JPEG encoder;
# then the program built.
"$here/scripts/install-packages" xvfb libxdamage-dev libxext-dev feh libjpeg-turbo-progs
"$here/scripts/setup" >&2
tools="$here/build/bench-tools"
mkdir -p "$tools"
cc -O2 -o "$tools/firstpaint" "$here/bench/firstpaint/firstpaint.c" -lX11 -lXext -lXdamage
cmake -S "$here/bench/firstpaint/qt-floor" -B "$tools/qt-floor" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$tools/qt-floor" >/dev/null

work=$(mktemp -d)
# The runtime folder is a memory file system, as a desktop session's is (/run/user/UID): on
# the disk, beside the 20 000 files made and removed here, creating the program's socket
# alone took a millisecond.
runtime=$(mktemp -d /dev/shm/lumivo-firstpaint.XXXXXX 2>/dev/null || mktemp -d)
xvfb_pid=
cleanup() { [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null; rm -rf "$work" "$runtime"; }
trap cleanup EXIT
source "$here/scripts/xvfb.sh"
[ -n "${DISPLAY:-}" ] || start_xvfb "$work" 1920x1080x24
chmod 700 "$runtime"
export XDG_RUNTIME_DIR="$runtime"

# Photo-like pictures: fine noise over the whole picture (the entropy decoding a real photo
# costs; a flat colour decodes several times faster), with a pure red block in the middle
# for firstpaint to find.
python3 - "$work" <<'PY'
import os, sys, subprocess
for w, h in ((1500, 1000), (6000, 4000)):
    rows = bytearray(b & 0x3f for b in os.urandom(w * h * 3))
    block = b"\xff\x00\x00" * (w // 3)
    for y in range(h // 3, 2 * h // 3):
        start = (y * w + w // 3) * 3
        rows[start:start + len(block)] = block
    ppm = f"{sys.argv[1]}/red{w}.ppm"
    with open(ppm, "wb") as f:
        f.write(b"P6 %d %d 255\n" % (w, h) + rows)
    subprocess.run(["cjpeg", "-quality", "90", "-outfile", f"{sys.argv[1]}/red{w}.jpg", ppm], check=True)
    os.remove(ppm)
PY
mkdir "$work/empty" "$work/many"
(cd "$work/many" && seq -f 'file%05g.jpg' 1 20000 | xargs touch)
cp "$here/build/lumivo" "$work/empty/lumivo"
cp "$here/build/lumivo" "$work/many/lumivo"
cp "$here/build/lumivo-metafile" "$work/empty/" 2>/dev/null || true

# One measurement: paint_ms of a command run in a folder.
measure() {
  local folder=$1; shift
  (cd "$folder" && rm -f lumivo.INI && "$tools/firstpaint" 255 0 0 20000 "$@" | sed -n 's/.*paint_ms=\([0-9.-]*\).*/\1/p')
}
stats() { sort -n | awk '{a[NR]=$1} END {printf "best %.1f ms, median %.1f ms", a[1], a[int((NR+1)/2)]}'; }
median() { tr ' ' '\n' <<<"${results[$1]}" | grep -v '^$' | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

declare -A results
for r in $(seq "$runs"); do
  for size in 1500 6000; do
    results[floor$size]+="$(measure "$work/empty" "$tools/qt-floor/qt-floor" "$work/red$size.jpg") "
    results[feh$size]+="$(measure "$work/empty" feh "$work/red$size.jpg") "
    results[lumivo$size]+="$(measure "$work/empty" ./lumivo --slideshow "$work/red$size.jpg") "
  done
  results[many]+="$(measure "$work/many" ./lumivo --slideshow "$work/red1500.jpg") "
done
echo "first paint, $runs alternating runs each (load: $(cut -d' ' -f1-3 /proc/loadavg))"
declare -A labels=(
  [floor1500]="qt-floor, 1500 x 1000 JPEG"
  [feh1500]="feh, 1500 x 1000 JPEG"
  [lumivo1500]="lumivo, 1500 x 1000 JPEG, empty folder"
  [floor6000]="qt-floor, 6000 x 4000 JPEG"
  [feh6000]="feh, 6000 x 4000 JPEG"
  [lumivo6000]="lumivo, 6000 x 4000 JPEG"
  [many]="lumivo, 1500 x 1000 JPEG, folder of 20 000 files"
)
for key in floor1500 feh1500 lumivo1500 floor6000 feh6000 lumivo6000 many; do
  printf '%-50s %s\n' "${labels[$key]}" "$(tr ' ' '\n' <<<"${results[$key]}" | grep -v '^$' | stats)"
done
ratio() { awk -v a="$(median "$1")" -v b="$(median "$2")" 'BEGIN {printf "%.2f", a / b}'; }
echo "medians: lumivo / qt-floor, 1500 x 1000: $(ratio lumivo1500 floor1500); lumivo / feh, 1500 x 1000:" \
  "$(ratio lumivo1500 feh1500), 6000 x 4000: $(ratio lumivo6000 feh6000); 20 000 files / empty folder:" \
  "$(ratio many lumivo1500)"
