#!/usr/bin/env bash
# A long slide show over a mixed playlist, to see that the program stays flat: it makes 40
# items (JPEG, BMP, GIF animations, WAV, MIDI and AVI clips), starts Lumivo on them with
# --slideshow, sets the interval to 1 second through the interval dialog, and samples the
# program's resident memory, open files, threads and child processes every 10 seconds.
# After the warm-up it prints the slope of memory (least squares, MB per minute) and the
# range of the others.
#   bench/soak.sh [WARMUP_MINUTES] [MINUTES]     (default 5 and 20; needs DISPLAY, or starts
#   an Xvfb of its own)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
warmup=${1:-5}
minutes=${2:-20}
"$here/scripts/install-packages" xvfb xdotool ffmpeg python3
"$here/scripts/setup" >&2

work=$(mktemp -d)
xvfb_pid=
program=
cleanup() {
  [ -n "$program" ] && kill "$program" 2>/dev/null && wait "$program" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
source "$here/scripts/xvfb.sh"
[ -n "${DISPLAY:-}" ] || start_xvfb "$work" 1280x1024x24
mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=xcb

# The items: pictures and sounds written here, photos and clips made with FFmpeg, GIFs from the tests.
media="$work/media"
mkdir "$media"
python3 - "$media" <<'PY'
import math, struct, sys, zlib
out = sys.argv[1]
def bmp(path, w, h, colour):
    row = bytes(colour) * w + b'\0' * ((4 - (w * 3) % 4) % 4)
    data = row * h
    header = b'BM' + struct.pack('<IHHI', 54 + len(data), 0, 0, 54)
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    open(path, 'wb').write(header + info + data)
def wav(path, ms):
    rate = 8000
    pcm = b''.join(struct.pack('<h', int(8000 * math.sin(2 * math.pi * 440 * i / rate))) for i in range(rate * ms // 1000))
    open(path, 'wb').write(b'RIFF' + struct.pack('<I', 36 + len(pcm)) + b'WAVEfmt ' +
                           struct.pack('<IHHIIHH', 16, 1, 1, rate, rate * 2, 2, 16) + b'data' + struct.pack('<I', len(pcm)) + pcm)
def midi(path):
    track = bytes([0x00, 0x90, 0x3C, 0x64, 0x83, 0x60, 0x80, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00])
    open(path, 'wb').write(b'MThd' + struct.pack('>IHHH', 6, 0, 1, 480) + b'MTrk' + struct.pack('>I', len(track)) + track)
for i in range(8):
    bmp(f'{out}/picture{i}.bmp', 1200 + 40 * i, 800, (40 * i % 256, 120, 200))
for i in range(4):
    wav(f'{out}/tone{i}.wav', 1500)
    midi(f'{out}/note{i}.mid')
PY
sources=(testsrc smptebars rgbtestsrc testsrc2 smptehdbars yuvtestsrc pal75bars mandelbrot)
for i in 0 1 2 3 4 5 6 7; do
  ffmpeg -v error -y -f lavfi -i "${sources[$i]}=size=3000x2000" -frames:v 1 "$media/photo$i.jpg"
done
for i in 0 1 2 3; do
  ffmpeg -v error -y -f lavfi -i "${sources[$i]}=size=320x240:rate=10:duration=2" -c:v mjpeg "$media/clip$i.avi"
done
gifs=("$here"/tests/data/gif/pillow/Tests/images/dispose_*.gif "$here"/tests/data/gif/wuffs/test/data/*.gif)
playlist="$work/show.txt"
: >"$playlist"
for n in $(seq 0 7); do
  echo "$media/photo$n.jpg" >>"$playlist"
  echo "$media/picture$n.bmp" >>"$playlist"
  echo "${gifs[$n]}" >>"$playlist"
  [ "$n" -lt 4 ] && echo "$media/clip$n.avi" >>"$playlist" && echo "$media/tone$n.wav" >>"$playlist" &&
    echo "$media/note$n.mid" >>"$playlist"
done
echo "soak: $(wc -l <"$playlist") items" >&2

cp "$here/build/lumivo" "$here/build/lumivo-metafile" "$here/build/lumivo-clips" "$work/"
"$work/lumivo" --slideshow "$playlist" >"$work/program.log" 2>&1 &
program=$!
sleep 3
# The interval to 1 second: the dialog (F6) starts at 3; Down twice, then Enter.
main=$(xdotool search --onlyvisible --name '^Lumivo$' | head -n1)
xdotool windowfocus --sync "$main"; xdotool key F6; sleep 1
dialog=$(xdotool search --onlyvisible --name 'Время ожидания' | head -n1)
xdotool windowfocus --sync "$dialog"; xdotool key Down Down Return
sleep 1

python3 - "$program" "$warmup" "$minutes" <<'PY'
import os, sys, time
pid, warmup, minutes = int(sys.argv[1]), float(sys.argv[2]), float(sys.argv[3])
def sample():
    status = open(f'/proc/{pid}/status').read()
    field = lambda name: int([l for l in status.splitlines() if l.startswith(name)][0].split()[1])
    children = 0
    for task in os.listdir(f'/proc/{pid}/task'):
        try:
            children += len(open(f'/proc/{pid}/task/{task}/children').read().split())
        except OSError:
            pass
    return field('VmRSS:') / 1024, len(os.listdir(f'/proc/{pid}/fd')), field('Threads:'), children
start = time.time()
rows = []
print('minute,rss_mb,fds,threads,children')
while time.time() - start < (warmup + minutes) * 60:
    t = (time.time() - start) / 60
    rss, fds, threads, children = sample()
    print(f'{t:.2f},{rss:.1f},{fds},{threads},{children}', flush=True)
    if t >= warmup:
        rows.append((t, rss, fds, threads, children))
    time.sleep(10)
n = len(rows)
mt = sum(r[0] for r in rows) / n
mr = sum(r[1] for r in rows) / n
slope = sum((r[0] - mt) * (r[1] - mr) for r in rows) / sum((r[0] - mt) ** 2 for r in rows)
print(f'after {warmup:g} minutes of warm-up, over {minutes:g} minutes: memory {min(r[1] for r in rows):.1f} to '
      f'{max(r[1] for r in rows):.1f} MB, slope {slope:+.2f} MB/min; open files {min(r[2] for r in rows)} to '
      f'{max(r[2] for r in rows)}; threads {min(r[3] for r in rows)} to {max(r[3] for r in rows)}; '
      f'child processes {min(r[4] for r in rows)} to {max(r[4] for r in rows)}')
PY
