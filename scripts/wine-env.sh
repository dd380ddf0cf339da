# Sourced by the scripts: the private Wine prefix, the X display and the
# sandbox printer's spool folder that builds, tests and the demo share.
# Everything lives below $CORV_RUN_DIR (default build/run); a second work
# tree can use its own CORV_BUILD_DIR and CORV_DISPLAY_NUM side by side.
ROOT=${ROOT:-$(cd "$(dirname "$0")/.." && pwd)}
export CORV_BUILD_DIR=${CORV_BUILD_DIR:-$ROOT/build}
export CORV_RUN_DIR=${CORV_RUN_DIR:-$CORV_BUILD_DIR/run}
export WINEPREFIX=${CORV_WINEPREFIX:-$CORV_RUN_DIR/wineprefix}
export WINEARCH=win64
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml=;winemenubuilder.exe=d"}
export WINEDEBUG=${WINEDEBUG:--all}
export CORV_SPOOL_DIR=$CORV_RUN_DIR/spool
export CORV_SCRATCH_DIR=$CORV_RUN_DIR/scratch
export CORV_HTTP_ROOT=$CORV_RUN_DIR/http
export CORV_PRINTER="Corvala Sandbox"
export CORV_DISPLAY_NUM=${CORV_DISPLAY_NUM:-77}
# 32-bit programs run once scripts/setup-wine32.sh has set up its private
# Wine tree: then every wine command goes through it (CORV_WINE32 is set).
export CORV_WINE32_DIR=${CORV_WINE32_DIR:-/var/cache/corvala-wine32}
if [ -z "${CORV_WINE32:-}" ] && [ -f "$CORV_WINE32_DIR/ready" ]; then
  . "$CORV_WINE32_DIR/env.sh"
fi
