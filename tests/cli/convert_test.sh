#!/usr/bin/env bash
# convert, transpose and write --format: the channel events of a file survive a trip through
# both formats with their times, notes move by the interval, and bad requests leave no file.
source "$(dirname "$0")/common.sh" "$@"

# Ticks, channel, kind and data of every channel event, sorted: the track column left out.
channel_events() {
  "$cli" dump "$1" | awk 'NR > 2 && $6 != "-" { $1 = $3 = $4 = $5 = ""; print }' | sort
}
format_of() { "$cli" info --json "$1" | sed -n 's/.*"format":\([0-9]\).*/\1/p'; }

check "band to format 0" 0 "$cli" convert "$examples/band.mid" -o "$work/band0.mid" --format 0
[ "$(format_of "$work/band0.mid")" = 0 ] || fail "band0.mid is not format 0"
channel_events "$examples/band.mid" >"$work/original"
channel_events "$work/band0.mid" >"$work/zero"
cmp -s "$work/original" "$work/zero" || { fail "format 0 changed channel events"; diff "$work/original" "$work/zero"; }

check "back to format 1 with GM names" 0 "$cli" convert "$work/band0.mid" -o "$work/band1.mid" --format 1 --gm-names --running-status
[ "$(format_of "$work/band1.mid")" = 1 ] || fail "band1.mid is not format 1"
channel_events "$work/band1.mid" >"$work/one"
cmp -s "$work/original" "$work/one" || { fail "format 1 changed channel events"; diff "$work/original" "$work/one"; }
"$cli" dump "$work/band1.mid" >"$work/dump1"
matches "piano track named after its program" "$work/dump1" '"Acoustic Grand Piano"'
matches "sequence name kept" "$work/dump1" '"Band"'

check "karaoke file to format 0" 0 "$cli" convert "$examples/twinkle.kar" -o "$work/twinkle0.kar" --format 0
check "and back to format 1" 0 "$cli" convert "$work/twinkle0.kar" -o "$work/twinkle1.kar" --format 1
"$cli" dump "$work/twinkle1.kar" >"$work/dumpk"
matches "words track" "$work/dumpk" '"Words"'
matches "karaoke header kept" "$work/dumpk" '@KMIDI KARAOKE FILE'
matches "lyrics kept" "$work/dumpk" '"\\Twin"'

check "write --format 0 converts" 0 "$cli" write "$examples/band.mid" -o "$work/written0.mid" --format 0
[ "$(format_of "$work/written0.mid")" = 0 ] || fail "write --format 0 did not convert"
cmp -s "$work/written0.mid" "$work/band0.mid" || fail "write --format 0 and convert --format 0 differ"

check "convert without --format" 2 "$cli" convert "$examples/band.mid" -o "$work/x.mid"
check "convert --format 2" 2 "$cli" convert "$examples/band.mid" -o "$work/x.mid" --format 2
printf 'not a midi file' >"$work/garbage.mid"
check "convert garbage" 1 "$cli" convert "$work/garbage.mid" -o "$work/x.mid" --format 0
matches "error names the file" "$work/err" "garbage.mid"
[ -e "$work/x.mid" ] && fail "a refused conversion created a file"

check "transpose up a tone" 0 "$cli" transpose "$examples/scale.mid" -o "$work/up.mid" --semitones 2
"$cli" dump "$work/up.mid" >"$work/dumpt"
matches "C3 became D3" "$work/dumpt" "Note On  *D3 (62)"
matches "the XF chords followed" "$work/dumpt" "XF chord A7th"
check "and back down" 0 "$cli" transpose "$work/up.mid" -o "$work/down.mid" --semitones -2
channel_events "$examples/scale.mid" >"$work/scale"
channel_events "$work/down.mid" >"$work/down"
cmp -s "$work/scale" "$work/down" || { fail "up and down again is not the original"; diff "$work/scale" "$work/down"; }
check "transpose beyond the MIDI range" 2 "$cli" transpose "$examples/scale.mid" -o "$work/y.mid" --semitones 200
check "transpose by a non-number" 2 "$cli" transpose "$examples/scale.mid" -o "$work/y.mid" --semitones two
[ -e "$work/y.mid" ] && fail "a refused transposition created a file"

for command in convert transpose; do
  check "$command --help" 0 "$cli" "$command" --help
  matches "$command usage" "$work/out" "Usage: scorewell-cli $command"
done

finish
