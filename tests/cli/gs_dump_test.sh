#!/usr/bin/env bash
# The dump describes Roland GS data sets parameter by parameter, from a file built here byte
# by byte: a part parameter, a master volume, a patch name, a drum note with a wrong
# checksum and a GS reset.
set -u
cli="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export SCOREWELL_CONFIG_DIR="$work/config"
failures=0

contains() {  # contains DESCRIPTION PATTERN
  if ! grep -qF -- "$2" "$work/out"; then
    echo "FAIL: $1: no '$2' in"; cat "$work/out"; failures=$((failures + 1))
  fi
}

# Each event: delta 0, F0, length, bytes.
printf '\x00\xF0\x0A\x41\x10\x42\x12\x40\x10\x15\x01\x1A\xF7' >"$work/track"
printf '\x00\xF0\x0A\x41\x10\x42\x12\x40\x00\x04\x64\x58\xF7' >>"$work/track"
printf '\x00\xF0\x0B\x41\x10\x42\x12\x40\x01\x00\x48\x69\x0E\xF7' >>"$work/track"
printf '\x00\xF0\x0A\x41\x10\x42\x12\x41\x04\x24\x40\x00\xF7' >>"$work/track"
printf '\x00\xF0\x0A\x41\x10\x45\x12\x10\x08\x10\x03\x55\xF7' >>"$work/track"
printf '\x00\xF0\x0A\x41\x10\x42\x12\x40\x00\x7F\x00\x41\xF7' >>"$work/track"
printf '\x00\xFF\x2F\x00' >>"$work/track"
length=$(wc -c <"$work/track")
{
  printf 'MThd\x00\x00\x00\x06\x00\x00\x00\x01\x01\xE0MTrk\x00\x00\x00'
  printf "\\x$(printf %02X "$length")"
  cat "$work/track"
} >"$work/gs.mid"

"$cli" dump "$work/gs.mid" >"$work/out" 2>"$work/err"
status=$?
[ "$status" -eq 0 ] || { echo "FAIL: dump exit $status"; cat "$work/err"; failures=$((failures + 1)); }
contains "part parameter" \
  "Roland GS, Part 10 USE FOR RHYTHM PART (0 = OFF, 1 = MAP1, 2 = MAP2) = 1, checksum correct: F0 0A 41 10 42 12 40 10 15 01 1A F7"
contains "system parameter" "Roland GS, MASTER VOLUME (0-127) = 100, checksum correct"
contains "quoted name" 'Roland GS, PATCH NAME = "Hi", checksum correct'
contains "drum setup with a wrong checksum, bytes as stored" \
  "Roland GS, DRUM NOTE 36 PANPOT (-64 = RANDOM, -63 = LEFT, 63 = RIGHT) = 0, checksum wrong: F0 0A 41 10 42 12 41 04 24 40 00 F7"
contains "display parameter" "Roland GS, DISPLAYED PARAMETER (0-6) = 3 (REVERB), checksum correct"
contains "reset unchanged" "Roland, GS reset, checksum correct: F0 0A 41 10 42 12 40 00 7F 00 41 F7"
[ "$(grep -c SysEx "$work/out")" -eq 6 ] || { echo "FAIL: not six sysex lines"; failures=$((failures + 1)); }

[ "$failures" -eq 0 ] && echo "all GS dump checks passed"
exit "$failures"
