#!/usr/bin/env bash
# Extra wine drives for one test suite, sourced by wine-run.sh once the
# suite's fresh prefix is in place and before wine starts in it.
#
# WINE_RUN_DRIVES holds space-separated specs LETTER:KIND[:SIZE]:
#   t:tmpfs:1m   a new tmpfs of that size (mount -o size=), as drive T:, for
#                tests that need a real volume that runs full
#   d:cdrom      a new empty folder as drive D:, of drive type CD-ROM
#   e:dir        a new empty folder as drive E:
#   l:links      a folder as drive L: holding game\, outside\ and the
#                symbolic link game\link to outside\, which wine shows as a
#                reparse point: a folder below a game that leads elsewhere
# Each drive's folder is <prefix>.drives/<letter>; its Linux path is passed to
# the program as WINE_DRIVE_<LETTER> (e.g. WINE_DRIVE_T), so a test can put
# files there behind wine's back. Mounting needs root; when it fails the
# drive is left out and the suite fails on it rather than test a drive that
# never runs full. wine_drives_cleanup unmounts and removes everything, after
# wineserver has let go of the files.

wine_drives_root=$WINEPREFIX.drives

# Unmounts whatever is mounted below the drives' folder, also what a run that
# was killed before its clean-up left mounted, then removes the folder.
wine_drives_cleanup() {
  local dir
  for dir in "$wine_drives_root"/*; do
    while mountpoint -q "$dir" 2>/dev/null; do
      umount "$dir" 2>/dev/null || umount -l "$dir" 2>/dev/null || break
    done
  done
  rm -rf "$wine_drives_root"
}

wine_drives_setup() {
  local spec letter kind size dir upper types=()
  wine_drives_cleanup  # leftovers of a run that was killed
  mkdir -p "$wine_drives_root"
  for spec in $WINE_RUN_DRIVES; do
    IFS=: read -r letter kind size <<<"$spec"
    letter=${letter,,}
    upper=${letter^^}
    dir=$wine_drives_root/$letter
    mkdir -p "$dir"
    case "$kind" in
      tmpfs)
        if ! mount -t tmpfs -o "size=${size:-1m},mode=0777" tmpfs "$dir"; then
          echo "wine-drives: cannot mount a tmpfs for $upper: (needs root)" >&2
          continue
        fi;;
      cdrom) types+=("\"$letter:\"=\"cdrom\"");;
      dir) ;;
      links) mkdir -p "$dir/game" "$dir/outside" && ln -sfn ../outside "$dir/game/link";;
      *) echo "wine-drives: unknown drive kind '$kind' in '$spec'" >&2; continue;;
    esac
    ln -sfn "$dir" "$WINEPREFIX/dosdevices/$letter:"
    export "WINE_DRIVE_$upper=$dir"
  done
  # Drive types live in HKLM\Software\Wine\Drives. wineserver is not running
  # for the fresh prefix yet, so the key can be appended to its registry file.
  if (( ${#types[@]} )); then
    { echo; echo '[Software\\Wine\\Drives] 0'; printf '%s\n' "${types[@]}"; } \
      >>"$WINEPREFIX/system.reg"
  fi
}

wine_drives_setup
