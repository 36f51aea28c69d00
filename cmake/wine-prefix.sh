#!/usr/bin/env bash
# Makes the template wine prefix once (wineboot), under a lock so that parallel
# test runs share one. Japanese locale; the dialog font of the wizard is mapped
# to an installed Japanese font so that its pages render as on a Japanese
# Windows. The caption buttons' symbol font Marlett (of the fonts-wine
# package) is put into the prefix's font folder, where wine loads it: wine
# does not look into the package's own folder, and without it every close
# button shows a literal "r". Windows are not handed to a window manager:
# under a bare Xvfb there is none, and wine would wait two seconds for one at
# every closed window.
set -euo pipefail
prefix=$1
# The marker names the prefix's make-up: a prefix made before Marlett was
# provided is made again.
ready=$prefix/.ready-marlett
[[ -f "$ready" ]] && exit 0
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
[[ -f "$ready" ]] && exit 0
rm -rf "$prefix"
export WINEPREFIX=$prefix LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8 WINEDEBUG=-all
export WINEDLLOVERRIDES=mscoree,mshtml=
unset DISPLAY
wineboot -i >/dev/null 2>&1
marlett=/usr/share/wine/fonts/marlett.ttf
if [[ -f "$marlett" ]]; then
  cp "$marlett" "$prefix/drive_c/windows/Fonts/"
else
  echo "wine-prefix: $marlett missing (package fonts-wine): caption buttons show letters" >&2
fi
iconv -f UTF-8 -t UTF-16 > "$prefix/fonts.reg" <<'REG'
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"ＭＳ Ｐゴシック"="IPAPGothic"
"ＭＳ ゴシック"="IPAGothic"
"MS UI Gothic"="IPAPGothic"

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"
REG
wine regedit "$prefix/fonts.reg" >/dev/null 2>&1 || true
wineserver -w
touch "$ready"
