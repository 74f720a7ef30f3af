# Sourced by the scripts that need an X server of their own (the tests, the benchmarks):
#   start_xvfb FOLDER SCREEN    e.g. start_xvfb "$work" 1280x1024x24
# starts Xvfb on a free display (it picks the number itself and writes it to a file in
# FOLDER), exports DISPLAY and sets xvfb_pid; fails, saying why, when no server started.
# -noreset: the server must not reset when its last client leaves, or the next program
# started finds no display.
start_xvfb() {
  local folder=$1 screen=$2
  Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset 3>"$folder/display" 2>"$folder/xvfb.log" &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [ -s "$folder/display" ] && break
    sleep 0.1
  done
  if [ ! -s "$folder/display" ]; then
    cat "$folder/xvfb.log" >&2
    echo "Xvfb did not start" >&2
    return 1
  fi
  export DISPLAY=":$(head -n1 "$folder/display")"
}
