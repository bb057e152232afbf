#!/usr/bin/env bash
# A damaged file on the command line: info names the fault, rewriting commands leave the file
# as it was unless forced, fix rewrites what could be read.
source "$(dirname "$0")/common.sh"

# Three tracks; the second breaks at byte 71 on a data byte without a running status.
damaged() {
  printf 'MThd\x00\x00\x00\x06\x00\x01\x00\x03\x00\x60'
  printf 'MTrk\x00\x00\x00\x1e\x00\xff\x51\x03\x07\xa1\x20\x00\xc0\x00'
  printf '\x00\x90\x3c\x40\x60\x80\x3c\x40\x00\x90\x3e\x40\x60\x80\x3e\x40\x00\xff\x2f\x00'
  printf 'MTrk\x00\x00\x00\x11\x00\xff\x03\x01B\x10\xff\x01\x01x\x00\x40\x40\x00\xff\x2f\x00'
  printf 'MTrk\x00\x00\x00\x0d\x00\x91\x40\x40\x83\x00\x81\x40\x40\x00\xff\x2f\x00'
}
song="$work/song.mid"
damaged >"$song"
cp "$song" "$work/original.mid"
fault="track 2, byte 71: data byte without a running status"

check "info lists a damaged file" 0 "$cli" info "$song"
matches "info shows D" "$work/out" "SRD *.*song.mid"
contains "info names the fault" "$work/out" "(damaged: $fault)"
check "info --long" 0 "$cli" info --long "$song"
contains "info --long explains" "$work/out" "The file is damaged"
contains "info --long names the fault" "$work/out" "$fault"
check "info --json" 0 "$cli" info --json "$song"
contains "json damage" "$work/out" '"damage":[{"track":2,"offset":71,"status":-19989,'
contains "json defect" "$work/out" '"key":"DAMAGED"'

check "compand refuses" 1 "$cli" compand --yes --compress "$song"
contains "the refusal names the fault" "$work/err" "$fault; the file is damaged and was not rewritten"
cmp -s "$song" "$work/original.mid" || fail "compand changed a damaged file"
check "transpose refuses" 1 "$cli" transpose --yes --semitones 2 "$song"
cmp -s "$song" "$work/original.mid" || fail "transpose changed a damaged file"
check "write refuses" 1 "$cli" write "$song" -o "$work/out.mid"
contains "write says why" "$work/err" "not written: the file is damaged ($fault)"
[ -e "$work/out.mid" ] && fail "write wrote a damaged file"
check "dump shows what was read" 1 "$cli" dump "$song"
contains "dump names the fault" "$work/err" "damaged: $fault"
check "compand --help" 0 "$cli" compand --help
contains "help shows --force" "$work/out" "--force"

cp "$song" "$work/forced.mid"
check "compand --force" 0 "$cli" compand --yes --force --compress "$work/forced.mid"
check "forced file is sound" 0 "$cli" info "$work/forced.mid"
lacks "forced file has no D" "$work/out" "(damaged"

check "fix dry run" 0 "$cli" fix --yes --dry-run --no-extension "$song"
contains "fix tells what it would keep" "$work/out" "file would be rewritten from what could be read: 10 events on 3 tracks; $fault (2 events of the track kept)"
cmp -s "$song" "$work/original.mid" || fail "fix --dry-run changed the file"
check "fix" 0 "$cli" fix --yes --no-extension "$song"
contains "fix tells what it kept" "$work/out" "file rewritten from what could be read"
check "fixed file" 0 "$cli" info "$song"
lacks "fixed file has no D" "$work/out" "damaged"
finish
