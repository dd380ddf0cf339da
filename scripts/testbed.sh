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

# 32-bit programs run in this prefix: syswow64's reg.exe sees the 32-bit view.
testbed_check_wine32() {
  wine 'C:\windows\syswow64\reg.exe' query 'HKLM\Software\Microsoft\Windows\CurrentVersion' \
    /v ProgramFilesDir </dev/null >"$CORV_RUN_DIR/wine32-check.log" 2>&1
  grep -q 'Program Files (x86)' "$CORV_RUN_DIR/wine32-check.log"
}

# Whether the prefix's marker lists every width of $1.
testbed_prefix_serves() {
  for width in $1; do
    grep -qw "$width" "$WINEPREFIX/.corvala-ready" 2>/dev/null || return 1
  done
}

# The widths a prefix should serve.
testbed_widths() { # $2: folder with the i686 sandbox-printer.exe, if wanted
  if [ -n "${2:-}" ] && [ -n "${CORV_WINE32:-}" ]; then echo "x86_64 i686"; else echo x86_64; fi
}

testbed_prepare_prefix() {
  # $1: folder with the built x86_64 sandbox-printer.exe; $2 (optional) the
  # i686 one: its printer driver for 32-bit programs needs a 32-bit process.
  tools=$1
  want=$(testbed_widths "$@")
  testbed_prefix_serves "$want" && return 0
  testbed_log "creating the Wine prefix $WINEPREFIX ($want)"
  rm -rf "$WINEPREFIX"
  wineboot -i </dev/null >>"$CORV_RUN_DIR/wine.log" 2>&1
  wineserver -w
  # No window manager: make closing windows immediate; crashes end the
  # process instead of waiting behind a dialog.
  testbed_wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f
  testbed_wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f
  port="|cat > $CORV_SPOOL_DIR/job-\$(date +%s%N).prn"
  testbed_wine "$tools/sandbox-printer.exe" "$port" || {
    testbed_log "could not install the sandbox printer"; cat "$CORV_RUN_DIR/wine.log" >&2; return 1; }
  if [ "$want" != x86_64 ]; then
    if ! testbed_check_wine32; then
      testbed_log "32-bit programs do not run in the new prefix:"; cat "$CORV_RUN_DIR/wine32-check.log" >&2
      want=x86_64
    elif ! testbed_wine "$2/sandbox-printer.exe" "$port"; then
      testbed_log "could not install the sandbox printer for 32-bit programs"; want=x86_64
    fi
  fi
  wineserver -w
  echo "$want" >"$WINEPREFIX/.corvala-ready"
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

# A fresh loopback server on the same port: its request counts start at zero.
testbed_restart_http() {
  kill "$CORV_HTTP_PID" 2>/dev/null
  wait "$CORV_HTTP_PID" 2>/dev/null
  testbed_start_http
}

testbed_start() {
  rm -rf "$CORV_SCRATCH_DIR"
  mkdir -p "$CORV_RUN_DIR" "$CORV_SPOOL_DIR" "$CORV_SCRATCH_DIR" "$CORV_HTTP_ROOT"
  testbed_start_display || return 1
  testbed_prepare_prefix "$@" || return 1
  wineserver -p60
  testbed_start_http || return 1
}

# Runs "$@ <width>" for x86_64 and for i686 where 32-bit programs run in the
# prefix (benchmarks print both); says plainly when the i686 one cannot run.
for_each_width() {
  for width in x86_64 i686; do
    echo "== $width"
    if [ $width = i686 ] && ! testbed_prefix_serves i686; then
      echo "NOT RUN: 32-bit programs do not run here (scripts/setup-wine32.sh sets them up)"
    else
      "$@" $width
    fi
  done
}

testbed_stop() {
  [ -n "${CORV_HTTP_PID:-}" ] && kill "$CORV_HTTP_PID" 2>/dev/null
  wineserver -k 2>/dev/null
  [ -n "${CORV_XVFB_PID:-}" ] && kill "$CORV_XVFB_PID" 2>/dev/null
  wait 2>/dev/null
  return 0
}
