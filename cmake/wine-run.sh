#!/usr/bin/env bash
# Runs one Windows program under wine, as CTest's emulator for the windows
# build. Each program (suite) gets a private WINEPREFIX below the build folder,
# copied from a template prefix that is made once with wineboot. The locale is
# Japanese so that the ANSI code page is 932, and an Xvfb display is started
# when none is given.
#
# Environment:
#   WINE_RUN_ROOT    folder for the prefixes (default: <build>/wine, found from
#                    the program's path, else $PWD/wine)
#   WINE_RUN_SUITE   name of the private prefix (default: the program's name)
#   WINE_RUN_KEEP=1  keep the suite's prefix as it was, and after the run
#                    (default: a fresh copy, removed when the program ends)
#   WINE_RUN_DRIVES  extra drives for the suite, e.g. "t:tmpfs:1m d:cdrom"
#                    (see wine-drives.sh)
set -euo pipefail

exe=$1; shift
here=$(cd "$(dirname "$0")" && pwd)

if [[ -z "${WINE_RUN_ROOT:-}" ]]; then
  dir=$(cd "$(dirname "$exe")" && pwd)
  while [[ "$dir" != / && ! -f "$dir/CMakeCache.txt" ]]; do dir=$(dirname "$dir"); done
  [[ -f "$dir/CMakeCache.txt" ]] && WINE_RUN_ROOT=$dir/wine || WINE_RUN_ROOT=$PWD/wine
fi
suite=${WINE_RUN_SUITE:-$(basename "$exe" .exe)}
export LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8 WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

"$here/wine-prefix.sh" "$WINE_RUN_ROOT/template"
export WINEPREFIX=$WINE_RUN_ROOT/$suite
if [[ "${WINE_RUN_KEEP:-0}" != 1 || ! -d "$WINEPREFIX" ]]; then
  rm -rf "$WINEPREFIX"
  cp -a "$WINE_RUN_ROOT/template" "$WINEPREFIX"
fi

xvfb_pid=
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  declare -F wine_drives_cleanup >/dev/null && wine_drives_cleanup
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" >/dev/null 2>&1 || true
  # A suite's prefix is a full copy of the template (about 700 MB): kept
  # only when asked for, or a whole test run would fill the disk.
  [[ "${WINE_RUN_KEEP:-0}" == 1 ]] || rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
[[ -n "${WINE_RUN_DRIVES:-}" ]] && source "$here/wine-drives.sh"
if [[ -z "${DISPLAY:-}" ]]; then
  source "$here/xvfb-start.sh"
  xvfb_pid=$XVFB_PID
fi

set +e
wine "$exe" "$@"
rc=$?
wineserver -w >/dev/null 2>&1
exit $rc
