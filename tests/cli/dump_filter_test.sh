#!/usr/bin/env bash
# scorewell-cli dump with the editor's filters (track, channel, kind, meta type, search) and
# the editor's texts for sequence numbers, tags, SMPTE offsets and time signatures.
source "$(dirname "$0")/common.sh" "$@"

events() { tail -n +3 "$work/out"; }  # the event lines, without the two header lines

band="$examples/band.mid"
check "track and kind" 0 "$cli" dump "$band" --track 3 --kind note-on
contains "count of shown events" "$work/out" "107 events, 32 shown"
[ "$(events | awk '$5 != 3 || $7 != "Note" || $8 != "On"' | wc -l)" -eq 0 ] ||
  { echo "FAIL: other tracks or kinds shown"; events; failures=$((failures + 1)); }

check "two tracks" 0 "$cli" dump "$band" --track 1,3 --kind meta
lacks "no channel events" "$work/out" "Note On"
contains "meta of track 1" "$work/out" '"Band"'
contains "meta of track 3" "$work/out" '"Drums"'
lacks "not track 2" "$work/out" '"Piano"'

check "channel" 0 "$cli" dump "$band" --channel 10
lacks "no channel 1" "$work/out" "E3 (64)"
contains "channel 10 notes" "$work/out" "F#1 (42)"
contains "meta events stay" "$work/out" '"Verse"'

check "meta types" 0 "$cli" dump "$band" --meta time-signature,marker
contains "editor's time signature text" "$work/out" "3/4, Click: 24, MIDI Clock: 8"
contains "markers" "$work/out" '"Waltz"'
lacks "no tempo" "$work/out" "BPM"
[ "$(events | wc -l)" -eq 4 ] || { echo "FAIL: meta filter shows $(events | wc -l) lines"; failures=$((failures + 1)); }

check "sysex kind keeps its decoding" 0 "$cli" dump "$band" --kind sysex
contains "GS reset decoded" "$work/out" "Roland, GS reset, checksum correct"

check "search a text" 0 "$cli" dump "$band" --find verse
contains "marker found without regard to case" "$work/out" '"Verse"'
[ "$(events | wc -l)" -eq 1 ] || { echo "FAIL: search shows $(events | wc -l) lines"; failures=$((failures + 1)); }
check "search a note" 0 "$cli" dump "$band" --find E3 --channel 1 --kind note-on
contains "key 64 spelled E3" "$work/out" "E3 (64)"
lacks "only that key" "$work/out" "G4 (67)"
check "search finds nothing" 0 "$cli" dump "$band" --find zzzz
contains "nothing shown" "$work/out" ", 0 shown"

check "XF chords still decoded" 0 "$cli" dump "$examples/scale.mid" --kind meta
contains "XF chord" "$work/out" "XF chord G7th"

# SMPTE offset 01:02:03:04.05 at 30 fps, sequence number 258, tag [2]Ab.
printf 'MThd\0\0\0\6\0\0\0\1\1\340MTrk\0\0\0\032\0\377\124\5\141\2\3\4\5\0\377\0\2\1\2\0\377\113\3\2Ab\0\377\57\0' \
  >"$work/meta.mid"
check "editor's meta texts" 0 "$cli" dump "$work/meta.mid"
contains "SMPTE with its rate" "$work/out" "01 : 02 : 03 : 04 : 05, 30 FPS"
contains "sequence number" "$work/out" "258"
contains "tag" "$work/out" "[2]Ab"

check "unknown kind" 2 "$cli" dump "$band" --kind chords
check "unknown meta" 2 "$cli" dump "$band" --meta banana
check "channel out of range" 2 "$cli" dump "$band" --channel 17
check "track 0" 2 "$cli" dump "$band" --track 0
check "empty list item" 2 "$cli" dump "$band" --track 1,,2
check "missing value" 2 "$cli" dump "$band" --find

finish
