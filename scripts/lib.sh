# Shared by the scripts: a private Xvfb and a private Wine prefix, both torn
# down when the calling script exits.

# Starts Xvfb on a free display with the given screen ("1024x768x16") and
# exports DISPLAY. The server picks the number itself (-displayfd), so runs
# started side by side never share one.
start_xvfb() {
  local screen=$1 numberFile number
  numberFile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp 3>"$numberFile" \
    >/dev/null 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 1 100); do
    number=$(head -n 1 "$numberFile")
    if [ -n "$number" ]; then
      export DISPLAY=":$number"
      xdpyinfo >/dev/null 2>&1 && rm -f "$numberFile" && return 0
    fi
    kill -0 "$XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  kill "$XVFB_PID" 2>/dev/null
  XVFB_PID=
  rm -f "$numberFile"
  echo "could not start Xvfb" >&2
  return 1
}

stop_xvfb() {
  if [ -n "${XVFB_PID:-}" ]; then
    kill "$XVFB_PID" 2>/dev/null
    wait "$XVFB_PID" 2>/dev/null
    XVFB_PID=
    # A server that did not get to remove its lock leaves the number taken.
    local number=${DISPLAY#:}
    rm -f "/tmp/.X$number-lock" "/tmp/.X11-unix/X$number"
  fi
}

# A fresh, quiet Wine prefix of our own: 32-bit, or with WINEARCH=win64 a
# 64-bit one, where Debian's wine runs 32- and 64-bit programs alike. With
# LURN_WINE_TEMPLATES set (a folder), the first prefix of each kind is booted
# there once and later ones are hard-linked to it: booting takes ~15 s.
start_wine() {
  export WINEPREFIX WINEARCH=${WINEARCH:-win32}
  WINEPREFIX=$(mktemp -d /tmp/lurn-wine.XXXXXX)
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEDLLOVERRIDES="mscoree,mshtml="
  local template=${LURN_WINE_TEMPLATES:-}
  if [ -z "$template" ]; then
    wineboot -i >/dev/null 2>&1 || true
    return 0
  fi
  template=$template/$WINEARCH
  if [ ! -f "$template/system.reg" ]; then
    mkdir -p "$template"
    WINEPREFIX=$template wineboot -i >/dev/null 2>&1 || true
    WINEPREFIX=$template wineserver -w 2>/dev/null || true
  fi
  # Wine rewrites its registry and .ini files in place: those are copied.
  cp -al "$template/." "$WINEPREFIX/"
  find "$template" \( -name '*.reg' -o -name '*.ini' \) -type f -printf '%P\n' |
    while read -r file; do
      cp --remove-destination "$template/$file" "$WINEPREFIX/$file"
    done
}

stop_wine() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    rm -rf "$WINEPREFIX"
    WINEPREFIX=
  fi
}
