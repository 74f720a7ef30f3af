#!/usr/bin/env bash
# A big GIF playing, beside qimgv: peak memory and CPU while it plays. The GIF is made with
# FFmpeg: 1920 x 1080, 25 frames a second, FRAMES frames (default 300). Alternating runs
# on an X server of its own; prints best and median of RUNS (default 3).
#   bench/gifplay.sh [RUNS] [FRAMES]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
runs=${1:-3}
frames=${2:-300}
"$here/scripts/install-packages" xvfb xdotool ffmpeg qimgv
"$here/scripts/setup" >&2
work=$(mktemp -d)
xvfb_pid=
cleanup() { [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
source "$here/scripts/xvfb.sh"
start_xvfb "$work" 1920x1080x24
mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR="$work/runtime" HOME="$work" XDG_CONFIG_HOME="$work/config"
ffmpeg -v error -y -f lavfi -i "testsrc2=size=1920x1080:rate=25:duration=$(awk -v f="$frames" 'BEGIN {print f / 25}')" \
  -vf "split[a][b];[a]palettegen=max_colors=64[p];[b][p]paletteuse=dither=none" "$work/big.gif"
cp "$here/build/lumivo" "$work/"

# One run: "MB ms/s", the program's peak memory and CPU over 5 seconds of playing.
measure() {
  local which=$1 pid
  if [ "$which" = lumivo ]; then
    (cd "$work" && rm -f lumivo.INI && exec ./lumivo --show big.gif >/dev/null 2>&1) &
    pid=$!
    sleep 5
    # The animation starts from the strip's animation buttons: "Вкл." (not the small ">",
    # which starts a slide show, reloading the GIF at every step).
    local window
    window=$(xdotool search --name 'Анимированная картинка' | head -n1)
    eval "$(xdotool getwindowgeometry --shell "$window")"
    xdotool mousemove $((X + 233)) $((Y + HEIGHT - 42)) click 1
  else
    (cd "$work" && exec qimgv big.gif >/dev/null 2>&1) &
    pid=$!
    sleep 5
  fi
  sleep 3
  local a b
  a=$(awk '{print $14 + $15}' "/proc/$pid/stat")
  sleep 5
  b=$(awk '{print $14 + $15}' "/proc/$pid/stat")
  local peak
  peak=$(awk '/VmHWM/ {print int($2 / 1024)}' "/proc/$pid/status")
  kill "$pid"; wait "$pid" 2>/dev/null || true
  echo "$peak $(( (b - a) * 1000 / $(getconf CLK_TCK) / 5 ))"
}
declare -A mem cpu
for r in $(seq "$runs"); do
  for p in lumivo qimgv; do
    read -r m c < <(measure "$p")
    mem[$p]+="$m "; cpu[$p]+="$c "
  done
done
stats() { tr ' ' '\n' | grep -v '^$' | sort -n | awk '{a[NR]=$1} END {printf "best %s, median %s", a[1], a[int((NR+1)/2)]}'; }
echo "GIF 1920 x 1080 x $frames frames ($(du -m "$work/big.gif" | cut -f1) MB), $runs alternating runs (load: $(cut -d' ' -f1-3 /proc/loadavg))"
for p in lumivo qimgv; do
  echo "$p: peak memory (MB) $(stats <<<"${mem[$p]}"); CPU while playing (ms/s) $(stats <<<"${cpu[$p]}")"
done
