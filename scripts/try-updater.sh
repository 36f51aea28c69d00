#!/usr/bin/env bash
# Tries an updater on Linux, under wine, against a game installed as its
# installer would have left it on a player's Windows.
#
#   try-updater.sh UPDATER --setup SETUP.INI --company NAME --dir NAME
#                  [--data DIR] [--mode N] [--game FOLDER] [--prefix DIR] [--auto]
#
# Makes a fresh wine prefix with the installed game's registry record,
# HKEY_CURRENT_USER\Software\<company>\<dir>, holding InstPath (the
# installation folder C:\Games\<dir>), DataPath (--data, when given) and
# InstMode (--mode, 0 by default), and SETUP.INI in the installation folder;
# then runs UPDATER there, as a player whose Windows speaks Japanese.
#
#   UPDATER          the updater to try (made by fa2 build or fa2 embed)
#   --setup FILE     the installed game's SETUP.INI (CP932, as the game's
#                    installer writes it; see SETUP.INI.example)
#   --company NAME   CompanyName and GameDir of the game's UPDATE.INI: the
#   --dir NAME       registry key that the updater looks for (as UTF-8 text)
#   --data DIR       DataPath, the game's data folder, a Windows path such
#                    as 'C:\Users\Public\Documents\HoshiNoNiwa' (made in the
#                    prefix); without it "d" items go below InstPath
#   --mode N         InstMode, the install mode that items' MODE digits match
#   --game FOLDER    the game's installed files, copied into the installation
#                    folder first with a last-write time in 2020, older than
#                    the update's (SETUP.INI still comes from --setup)
#   --prefix DIR     the wine prefix (default ./try-updater-prefix); made
#                    afresh at every run, so an existing folder must be one
#                    that this script made
#   --auto           play the wizard through even with a display
#
# With a display (DISPLAY set) the wizard is yours to click through; without
# one, or with --auto, it runs under Xvfb and is played through as a player
# who agrees and presses "次へ" until it ends, every box answered with OK.
# Either way the script prints the boxes, the pages, the files the update
# wrote, the updater's run log and its exit code (1 after "完了"), and
# exits with that code (2 on a usage error or a failed set-up).
#
# Needs wine, wine64, Xvfb, a Japanese font and the ja_JP.UTF-8 locale of
# Debian: run as root, it installs those that are missing; otherwise it says
# which to install.
set -euo pipefail
usage() { sed -n '2,/^[^#]/s/^# \{0,1\}//p' "$0"; }
die() { echo "try-updater: $*" >&2; exit 2; }

updater= setup= company= dir= data= mode=0 game= prefix=$PWD/try-updater-prefix auto=0
while (( $# )); do
  case $1 in
    -h|--help) usage; exit 0 ;;
    --setup|--company|--dir|--data|--mode|--game|--prefix)
      (( $# >= 2 )) || die "$1 needs a value (try --help)"
      declare "${1#--}=$2"; shift 2 ;;
    --auto) auto=1; shift ;;
    -*) die "unknown option $1 (try --help)" ;;
    *) [[ -z "$updater" ]] || die "one updater at a time: $1 (try --help)"; updater=$1; shift ;;
  esac
done
[[ -n "$updater" && -n "$setup" && -n "$company" && -n "$dir" ]] ||
  die "UPDATER, --setup, --company and --dir are required (try --help)"
[[ -f "$updater" ]] || die "$updater: no such file"
[[ -f "$setup" ]] || die "$setup: no such file"
[[ "$mode" =~ ^[0-9]+$ ]] || die "--mode $mode: not a number"
[[ -z "$game" || -d "$game" ]] || die "$game: not a folder"
# The names become a registry key and a folder name.
for name in "$company" "$dir"; do
  [[ "$name" != *\\* && "$name" != */* ]] || die "$name: a name without \\ or /"
done
iconv -f UTF-8 -t CP932 <<<"$company$dir" >/dev/null 2>&1 ||
  die "--company and --dir must be UTF-8 text that CP932 can write"
[[ -z "$data" || "$data" =~ ^[A-Za-z]:\\ ]] || die "--data $data: a Windows path such as 'C:\\Games\\Data'"

here=$(cd "$(dirname "$0")" && pwd)
player=
for candidate in "$here/bin/play-updater.exe" "$here/../build/windows/tools/wine/sample_run.exe"; do
  [[ -f "$candidate" ]] && { player=$candidate; break; }
done
[[ -n "$player" ]] || die "bin/play-updater.exe is missing beside this script"

# Debian's wine, Xvfb, a Japanese font and the Japanese locale.
packages=(wine wine64 xvfb xauth fonts-ipafont-gothic fonts-wine locales)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if (( ${#missing[@]} )); then
  (( EUID == 0 )) || die "needs the Debian packages ${missing[*]}: sudo apt-get install ${missing[*]}"
  echo "try-updater: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q >/dev/null
  apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
fi
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  (( EUID == 0 )) || die "needs the locale ja_JP.UTF-8: enable it in /etc/locale.gen and run locale-gen"
  sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi

# A fresh prefix: Japanese locale, the wizard's dialog font mapped to the
# installed Japanese one, and no window manager needed.
marker=.try-updater-prefix
if [[ -e "$prefix" ]]; then
  [[ -f "$prefix/$marker" ]] || die "$prefix exists and was not made by try-updater.sh: give another --prefix"
  rm -rf "$prefix"
fi
mkdir -p "$prefix"
prefix=$(cd "$prefix" && pwd)
touch "$prefix/$marker"
export WINEPREFIX=$prefix LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8 WINEDEBUG=-all
export WINEDLLOVERRIDES=mscoree,mshtml=

xvfb_pid=
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" >/dev/null 2>&1 || true
}
trap cleanup EXIT
manual=(--manual)
if [[ -z "${DISPLAY:-}" || "$auto" == 1 ]]; then
  manual=()
  if [[ -z "${DISPLAY:-}" ]]; then
    number_file=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$number_file" >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 1 200); do
      [[ -s "$number_file" ]] && break
      kill -0 "$xvfb_pid" 2>/dev/null || break
      sleep 0.05
    done
    number=$(head -n 1 "$number_file" | tr -dc '0-9')
    rm -f "$number_file"
    [[ -n "$number" ]] || die "Xvfb did not start"
    export DISPLAY=:$number
  fi
fi

echo "try-updater: making the wine prefix $prefix"
DISPLAY= wineboot -i >/dev/null 2>&1 || die "wineboot failed in $prefix"
[[ -f /usr/share/wine/fonts/marlett.ttf ]] && cp /usr/share/wine/fonts/marlett.ttf "$prefix/drive_c/windows/Fonts/"
inst='C:\Games\'"$dir"
key='HKEY_CURRENT_USER\Software\'"$company"'\'"$dir"
{
  printf 'Windows Registry Editor Version 5.00\r\n\r\n'
  printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
  printf '"ＭＳ Ｐゴシック"="IPAPGothic"\r\n"ＭＳ ゴシック"="IPAGothic"\r\n"MS UI Gothic"="IPAPGothic"\r\n\r\n'
  printf '[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Managed"="N"\r\n\r\n'
  printf '[%s]\r\n' "$key"
  printf '"InstPath"="%s"\r\n' "${inst//\\/\\\\}"
  [[ -n "$data" ]] && printf '"DataPath"="%s"\r\n' "${data//\\/\\\\}"
  printf '"InstMode"=dword:%08x\r\n' "$mode"
} | iconv -f UTF-8 -t UTF-16 > "$prefix/record.reg"
wine regedit "$prefix/record.reg" >/dev/null 2>&1 || die "could not write the registry record"
wineserver -w

folder=$(winepath -u "$inst" 2>/dev/null)
mkdir -p "$folder"
if [[ -n "$game" ]]; then
  cp -r "$game"/. "$folder"/
  # Installed long before the update was made, so that the update's files
  # count as newer for "u" items.
  find "$folder" -type f -exec touch -d '2020-01-01 00:00:00 UTC' {} +
fi
cp "$setup" "$folder/SETUP.INI"
[[ -n "$data" ]] && mkdir -p "$(winepath -u "$data" 2>/dev/null)"
echo "try-updater: installed \"$dir\" at $inst (InstMode $mode${data:+, DataPath $data}),"
echo "             record $key"

# The player program reports what the updater shows and writes; its exit
# code is the updater's.
set +e
wine "$player" "${manual[@]}" --installed "$(cd "$(dirname "$updater")" && pwd)/$(basename "$updater")" "$inst"
rc=$?
wineserver -w >/dev/null 2>&1
set -e

temp=$(find "$prefix/drive_c/users" -maxdepth 3 -type d -iname temp | head -n 1)
log=$(ls -t "$temp"/*_update.log 2>/dev/null | head -n 1 || true)
if [[ -n "$log" ]]; then
  echo "try-updater: the updater's run log, $log:"
  iconv -f CP932 -t UTF-8 "$log" | tr -d '\r' | sed 's/^/  /'
fi
echo "try-updater: exit code $rc"
exit $rc
