# Sourced by test.sh, demo.sh and bench.sh: starts Xvfb and a persistent
# wineserver, and prepares the private prefix with the sandbox printer.
# testbed_stop ends every process that testbed_start began.
. "$ROOT/scripts/wine-env.sh"

testbed_log() { echo "testbed: $*" >&2; }

testbed_start_display() {
  export DISPLAY=:$CORV_DISPLAY_NUM
  if [ -e /tmp/.X11-unix/X$CORV_DISPLAY_NUM ] && xdpyinfo >/dev/null 2>&1; then
    return 0
  fi
  rm -f /tmp/.X$CORV_DISPLAY_NUM-lock /tmp/.X11-unix/X$CORV_DISPLAY_NUM
  Xvfb :$CORV_DISPLAY_NUM -screen 0 1280x1024x24 -nolisten tcp >"$CORV_RUN_DIR/xvfb.log" 2>&1 &
  CORV_XVFB_PID=$!
  for _ in $(seq 1 50); do
    [ -e /tmp/.X11-unix/X$CORV_DISPLAY_NUM ] && return 0
    sleep 0.1
  done
  testbed_log "Xvfb did not start"; return 1
}

testbed_wine() { wine "$@" </dev/null >>"$CORV_RUN_DIR/wine.log" 2>&1; }

testbed_prepare_prefix() {
  # $1: folder with the built sandbox-printer.exe
  tools=$1
  if [ ! -f "$WINEPREFIX/.corvala-ready" ]; then
    testbed_log "creating the Wine prefix $WINEPREFIX"
    rm -rf "$WINEPREFIX"
    wineboot -i </dev/null >>"$CORV_RUN_DIR/wine.log" 2>&1
    wineserver -w
    # No window manager: make closing windows immediate; crashes end the
    # process instead of waiting behind a dialog.
    testbed_wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f
    testbed_wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f
    testbed_wine "$tools/sandbox-printer.exe" "|cat > $CORV_SPOOL_DIR/job-\$(date +%s%N).prn" || {
      testbed_log "could not install the sandbox printer"; cat "$CORV_RUN_DIR/wine.log" >&2; return 1; }
    wineserver -w
    touch "$WINEPREFIX/.corvala-ready"
  fi
}

testbed_start_http() {
  port=${CORV_HTTP_PORT:-$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')}
  export CORV_HTTP_PORT=$port
  python3 "$ROOT/tests/support/http_server.py" "$port" "$CORV_HTTP_ROOT" >"$CORV_RUN_DIR/http.log" 2>&1 &
  CORV_HTTP_PID=$!
  for _ in $(seq 1 50); do
    python3 -c "import socket; socket.create_connection(('127.0.0.1',$port),1)" 2>/dev/null && return 0
    sleep 0.1
  done
  testbed_log "the HTTP server did not start"; return 1
}

testbed_start() {
  rm -rf "$CORV_SCRATCH_DIR"
  mkdir -p "$CORV_RUN_DIR" "$CORV_SPOOL_DIR" "$CORV_SCRATCH_DIR" "$CORV_HTTP_ROOT"
  testbed_start_display || return 1
  testbed_prepare_prefix "$1" || return 1
  wineserver -p60
  testbed_start_http || return 1
}

testbed_stop() {
  [ -n "${CORV_HTTP_PID:-}" ] && kill "$CORV_HTTP_PID" 2>/dev/null
  wineserver -k 2>/dev/null
  [ -n "${CORV_XVFB_PID:-}" ] && kill "$CORV_XVFB_PID" 2>/dev/null
  wait 2>/dev/null
  return 0
}
