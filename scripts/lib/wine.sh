# Shared by the scripts that run our Windows programs under Wine. Source it; it defines
# functions only.

# Gives Wine a screen: the caller's display when there is one, else a private Xvfb that is
# stopped when the calling script exits.
wine_start_display() {
  if [[ -n "${DISPLAY:-}" ]]; then return 0; fi
  local number free=""
  for number in $(seq 90 599); do
    if [[ ! -e /tmp/.X11-unix/X$number && ! -e /tmp/.X$number-lock ]]; then free=$number; break; fi
  done
  if [[ -z $free ]]; then
    echo "wine: no free display number between :90 and :599" >&2
    return 1
  fi
  number=$free
  Xvfb ":$number" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  WINE_XVFB_PID=$!
  export DISPLAY=":$number"
  local waited
  for waited in $(seq 1 50); do
    [[ -e /tmp/.X11-unix/X$number ]] && return 0
    sleep 0.1
  done
  echo "wine: Xvfb did not start on :$number" >&2
  return 1
}

wine_stop_display() {
  if [[ -n "${WINE_XVFB_PID:-}" ]]; then
    kill "$WINE_XVFB_PID" 2>/dev/null || true
    wait "$WINE_XVFB_PID" 2>/dev/null || true
    unset WINE_XVFB_PID
  fi
}

# The folder of Wine's 32-bit PE libraries that scripts/setup lays out: i386-windows, and beside
# it x86_64-unix, a link to wine64's Unix side. With it on WINEDLLPATH, wine64 runs the i686
# programs in its WoW64 mode.
wine_lane_folder() {
  echo "$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/build/wine-i386"
}

# Makes $1 a Wine prefix, fresh when $2 is "fresh", in which both the 64-bit and the i686
# programs run. Mono and Gecko are not offered: nothing of ours needs them, and their installers
# would wait for a click.
wine_prepare_prefix() {
  local prefix=$1 mode=${2:-reuse}
  export WINEPREFIX=$prefix WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
  export WINEDLLPATH
  WINEDLLPATH=$(wine_lane_folder)
  if [[ $mode == fresh ]]; then
    wineserver -k 2>/dev/null || true
    rm -rf "$prefix"
  fi
  if [[ ! -f $prefix/system.reg ]]; then
    mkdir -p "$(dirname "$prefix")"
    wineboot -i >/dev/null 2>&1
  fi
  wineserver -w
}
