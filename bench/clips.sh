#!/usr/bin/env bash
# Clips against mpv, with its software x11 output (--vo=x11, what it does without a GPU's
# help, as Lumivo's clip process) and with its default output (here SDL or OpenGL on the
# CPU), in alternating runs on one X server and one PulseAudio null sink:
#  - first frame: from starting the program with a clip to its first picture on the X server
#    (bench/firstpaint/firstpaint.c, a grey clip: a colour no player's colour conversion
#    changes, as mpv's does red's), for AVI (H.264, MS Video 1 with ADPCM) and
#    an MPEG-2 programme stream;
#  - frames shown a second while a 25-fps 640 x 480 H.264 video plays, counted from outside
#    (bench/framecount/framecount.c: the screen's centre, another colour every frame);
#  - CPU while a 640 x 480 video plays (seconds 2 to 8 of a 10-second clip);
#  - sound: the null sink's monitor recorded while each program plays a 3-second clip, and
#    the length of what was heard.
# Prints best and median of RUNS (default 5) for each, and the ratios of the medians.
#   bench/clips.sh [RUNS]      (needs DISPLAY, or starts an Xvfb of its own)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
runs=${1:-5}
"$here/scripts/install-packages" xvfb libxdamage-dev libxext-dev mpv ffmpeg pulseaudio pulseaudio-utils python3 procps
"$here/scripts/setup" >&2
tools="$here/build/bench-tools"
mkdir -p "$tools"
cc -O2 -o "$tools/firstpaint" "$here/bench/firstpaint/firstpaint.c" -lX11 -lXext -lXdamage
cc -O2 -o "$tools/framecount" "$here/bench/framecount/framecount.c" -lX11

work=$(mktemp -d)
xvfb_pid=
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  PULSE_RUNTIME_PATH="$work/pulse" pulseaudio --kill 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
source "$here/scripts/xvfb.sh"
[ -n "${DISPLAY:-}" ] || start_xvfb "$work" 1920x1080x24
mkdir -m 700 "$work/runtime" "$work/pulse"
export XDG_RUNTIME_DIR="$work/runtime" PULSE_RUNTIME_PATH="$work/pulse"
if ! pulseaudio --start -n --exit-idle-time=-1 --load="module-null-sink sink_name=null" \
  --load="module-native-protocol-unix" 2>"$work/pulse.log" || ! pactl set-default-sink null; then
  echo "bench/clips.sh: PulseAudio could not be started here (another one running? as root it" \
    "needs a user of its own):" >&2
  cat "$work/pulse.log" >&2
  exit 1
fi

mk() { ffmpeg -v error -y "$@"; }
grey="-f lavfi -i color=c=0x808080:size=640x480:rate=25:duration=3"
tone="-f lavfi -i sine=frequency=440:duration=3:sample_rate=22050"
mk $grey $tone -c:v libx264 -c:a libmp3lame "$work/h264.avi"
mk $grey $tone -c:v msvideo1 -c:a adpcm_ms "$work/msvideo1.avi"
mk $grey $tone -c:v mpeg2video -c:a mp2 -f vob "$work/mpeg2.mpeg"
mk -f lavfi -i testsrc=size=640x480:rate=25:duration=10 -f lavfi -i sine=duration=10 -c:v libx264 -c:a libmp3lame "$work/moving.avi"
mk -f lavfi -i "nullsrc=s=640x480:r=25:d=10,geq=lum='mod(N*40\,256)':cb=128:cr=128" -f lavfi -i sine=duration=10 \
  -c:v libx264 -pix_fmt yuv420p -c:a libmp3lame "$work/flicker.avi"
mk $tone -c:a adpcm_ms "$work/adpcm.wav"
cp "$here/build/lumivo" "$here/build/lumivo-clips" "$work/"
lumivo=("$work/lumivo" --show)
player=(mpv --no-config --really-quiet)
x11=(mpv --no-config --really-quiet --vo=x11)

# First frame of the grey clip, in ms.
first() { (cd "$work" && rm -f lumivo.INI && "$tools/firstpaint" 128 128 128 20000 "$@" 2>/dev/null | sed -n 's/.*paint_ms=\([0-9.-]*\).*/\1/p'); }
first_of() { run "$1" first_with "$2"; }
first_with() { local clip=$1; shift; first "$@" "$clip"; }
# Frames shown a second (seconds 2 to 8) of the clip whose every frame has another colour.
frames() { (cd "$work" && rm -f lumivo.INI && "$tools/framecount" 2 8 "$@" "$work/flicker.avi" 2>/dev/null | sed -n 's/changes_per_s=//p'); }
# CPU ticks of a process and its children (Lumivo plays each clip in a process of its own).
ticks() {
  local total=0 p
  for p in "$1" $(pgrep -P "$1"); do
    total=$((total + $(awk '{print $14 + $15}' "/proc/$p/stat" 2>/dev/null || echo 0)))
  done
  echo "$total"
}
# CPU seconds used between seconds 2 and 8 of playing the moving clip, the player's processes
# together.
cpu() {
  (cd "$work" && rm -f lumivo.INI && exec "$@" "$work/moving.avi" >/dev/null 2>&1) &
  local pid=$!
  sleep 2
  local a b
  a=$(ticks "$pid")
  sleep 6
  b=$(ticks "$pid")
  kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null || true
  awk -v a="$a" -v b="$b" -v hz="$(getconf CLK_TCK)" 'BEGIN {printf "%.0f", (b - a) * 1000 / hz / 6}'
}
# Seconds of sound heard from a 3-second clip.
heard() {
  parec -d null.monitor --file-format=wav "$work/heard.wav" &
  local rec=$!
  sleep 0.3
  (cd "$work" && rm -f lumivo.INI && exec "$@" "$work/adpcm.wav" >/dev/null 2>&1) &
  local pid=$!
  sleep 5
  kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null || true
  kill "$rec"; wait "$rec" 2>/dev/null || true
  python3 - "$work/heard.wav" <<'PY'
import sys, wave, array
w = wave.open(sys.argv[1]); rate, ch = w.getframerate(), w.getnchannels()
s = array.array('h', w.readframes(w.getnframes()))
block = rate // 100 * ch  # 10 ms
loud = [max(map(abs, s[i:i + block]), default=0) > 500 for i in range(0, len(s), block)]
on = [i for i, l in enumerate(loud) if l]
print("%.2f" % ((on[-1] - on[0] + 1) / 100 if on else 0))
PY
}

declare -A results
players=(mpv x11 lumivo)
run() { case $1 in mpv) shift; "$@" "${player[@]}" ;; x11) shift; "$@" "${x11[@]}" ;; lumivo) shift; "$@" "${lumivo[@]}" ;; esac; }
for r in $(seq "$runs"); do
  for p in "${players[@]}"; do
    for clip in h264.avi msvideo1.avi mpeg2.mpeg; do
      results[${p}_$clip]+="$(first_of "$p" "$work/$clip") "
    done
    results[${p}_frames]+="$(run "$p" frames) "
    results[${p}_cpu]+="$(run "$p" cpu) "
    results[${p}_sound]+="$(run "$p" heard) "
  done
done

stats() { tr ' ' '\n' | grep -v '^$' | sort -n | awk '{a[NR]=$1} END {printf "best %s, median %s", a[1], a[int((NR+1)/2)]}'; }
median() { tr ' ' '\n' <<<"${results[$1]}" | grep -v '^$' | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
name() { case $1 in mpv) echo "mpv (default output)" ;; x11) echo "mpv --vo=x11" ;; lumivo) echo "lumivo" ;; esac; }
echo "clips, $runs alternating runs each (load: $(cut -d' ' -f1-3 /proc/loadavg))"
for clip in h264.avi msvideo1.avi mpeg2.mpeg; do
  for p in "${players[@]}"; do
    printf '%-55s %s\n' "$(name "$p"), first frame of $clip (ms)" "$(stats <<<"${results[${p}_$clip]}")"
  done
done
for p in "${players[@]}"; do
  printf '%-55s %s\n' "$(name "$p"), frames shown a second of 25" "$(stats <<<"${results[${p}_frames]}")"
  printf '%-55s %s\n' "$(name "$p"), CPU while 640 x 480 H.264 plays (ms/s)" "$(stats <<<"${results[${p}_cpu]}")"
  printf '%-55s %s\n' "$(name "$p"), sound heard of a 3 s ADPCM WAV (s)" "$(stats <<<"${results[${p}_sound]}")"
done
ratio() { awk -v a="$(median "$1")" -v b="$(median "$2")" 'BEGIN {printf "%.2f", a / b}'; }
for p in mpv x11; do
  echo "medians, lumivo / $(name "$p"): first frame H.264 AVI $(ratio lumivo_h264.avi ${p}_h264.avi)," \
    "MS Video 1 AVI $(ratio lumivo_msvideo1.avi ${p}_msvideo1.avi), MPEG-2 $(ratio lumivo_mpeg2.mpeg ${p}_mpeg2.mpeg);" \
    "CPU $(ratio lumivo_cpu ${p}_cpu)"
done
