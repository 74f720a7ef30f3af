#!/usr/bin/env bash
# A picture shown at the user's command: the time from the input to a 6000 x 4000 JPEG on
# screen, measured with bench/firstpaint/firstpaint.c from the start of xdotool sending it.
# Lumivo: a double-click on a playlist line (the first time the display window shows);
# qimgv: the next file (Right) with its preloader off, so that it too decodes on demand.
# Alternating runs, each program started afresh for each; prints best and median of RUNS
# (default 7) and the ratio of the medians.
#   bench/doubleclick.sh [RUNS]      (needs DISPLAY, or starts an Xvfb of its own)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
runs=${1:-7}
"$here/scripts/install-packages" xvfb xdotool libxdamage-dev libxext-dev qimgv libjpeg-turbo-progs
"$here/scripts/setup" >&2
tools="$here/build/bench-tools"
mkdir -p "$tools"
cc -O2 -o "$tools/firstpaint" "$here/bench/firstpaint/firstpaint.c" -lX11 -lXext -lXdamage

work=$(mktemp -d)
runtime=$(mktemp -d /dev/shm/lumivo-doubleclick.XXXXXX 2>/dev/null || mktemp -d)
xvfb_pid=
cleanup() {
  pkill -f "$work/" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work" "$runtime"
}
trap cleanup EXIT
source "$here/scripts/xvfb.sh"
[ -n "${DISPLAY:-}" ] || start_xvfb "$work" 1920x1080x24
chmod 700 "$runtime"
export XDG_RUNTIME_DIR="$runtime"

mkdir "$work/lumivo" "$work/qimgv" "$work/home"
# Photo-like pictures: fine noise over the whole picture (the entropy decoding a real photo
# costs), with a pure block in the middle for firstpaint to find: red in the picture waited
# for, blue in the one shown before it.
python3 - "$work" <<'PY'
import os, sys, subprocess
w, h = 6000, 4000
noise = bytes(b & 0x3f for b in os.urandom(w * h * 3))
for name, rgb in (("red", b"\xff\x00\x00"), ("blue", b"\x00\x00\xff")):
    rows = bytearray(noise)
    block = rgb * 2000
    for y in range(1250, 2750):
        start = (y * w + 2000) * 3
        rows[start:start + len(block)] = block
    ppm = f"{sys.argv[1]}/{name}.ppm"
    with open(ppm, "wb") as f:
        f.write(b"P6 %d %d 255\n" % (w, h) + rows)
    subprocess.run(["cjpeg", "-quality", "90", "-outfile", f"{sys.argv[1]}/{name}.jpg", ppm], check=True)
    os.remove(ppm)
PY
cp "$here/build/lumivo" "$work/lumivo/"
cp "$work/blue.jpg" "$work/qimgv/a.jpg"
cp "$work/red.jpg" "$work/qimgv/b.jpg"
# A playlist of the red picture only, so that a double-click anywhere in it hits a line.
for i in $(seq 40); do echo "$work/red.jpg"; done >"$work/list.txt"
mkdir -p "$work/home/.config/qimgv"
printf '[General]\nfirstRun=false\nusePreloader=false\n' >"$work/home/.config/qimgv/qimgv.conf"

paint() { FP_CHILD_MAY_EXIT=1 "$tools/firstpaint" 255 0 0 10000 "$@" | sed -n 's/.*paint_ms=\([0-9.-]*\).*/\1/p'; }

# Each run ends the program it started, and nothing else of the machine's.
lumivo_run() {
  (cd "$work/lumivo" && rm -f lumivo.INI && exec ./lumivo "$work/list.txt" >/dev/null 2>&1) &
  local pid=$! id
  id=$(xdotool search --sync --name '^Lumivo$' | head -1)
  sleep 1
  eval "$(xdotool getwindowgeometry --shell "$id")"
  xdotool mousemove $((X + 60)) $((Y + 110))
  sleep 0.3
  paint xdotool click --repeat 2 --delay 1 1
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

qimgv_run() {
  # Its settings (preloader off) where it reads them, whatever XDG_CONFIG_HOME says outside.
  (cd "$work/qimgv" && HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" exec qimgv a.jpg >/dev/null 2>&1) &
  local pid=$! id
  id=$(xdotool search --sync --class qimgv | tail -1)
  sleep 1.5
  xdotool windowfocus --sync "$id" 2>/dev/null || true
  paint xdotool key Right
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

lumivo_ms=() qimgv_ms=()
for r in $(seq "$runs"); do
  lumivo_ms+=("$(lumivo_run)")
  qimgv_ms+=("$(qimgv_run)")
done
stats() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {printf "best %.0f ms, median %.0f ms", a[1], a[int((NR+1)/2)]}'; }
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
echo "picture on screen after the input, 6000 x 4000 JPEG, $runs alternating runs (load: $(cut -d' ' -f1-3 /proc/loadavg))"
printf '%-52s %s\n' "lumivo, double-click on a playlist line" "$(stats "${lumivo_ms[@]}")"
printf '%-52s %s\n' "qimgv, next file, preloader off" "$(stats "${qimgv_ms[@]}")"
echo "median lumivo / qimgv: $(awk -v a="$(median "${lumivo_ms[@]}")" -v b="$(median "${qimgv_ms[@]}")" 'BEGIN {printf "%.2f", a / b}')"
