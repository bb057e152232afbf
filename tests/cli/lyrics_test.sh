#!/usr/bin/env bash
# scorewell-cli lyrics on the example karaoke files: every export format, encodings chosen by
# name or number, chords, and the exit codes of bad usage and unreadable files.
source "$(dirname "$0")/common.sh" "$@"

kar="$examples/twinkle.kar"
check "plain text" 0 "$cli" lyrics "$kar"
contains "first line" "$work/out" "Twinkle twinkle little star"
contains "second line" "$work/out" "How I wonder what you are"
contains "dialect on stderr" "$work/err" "karaoke type: SK"
[ "$(wc -l <"$work/out")" -eq 2 ] || { echo "FAIL: txt has $(wc -l <"$work/out") lines"; failures=$((failures + 1)); }

check "lrc" 0 "$cli" lyrics "$kar" --format lrc
contains "line time tag" "$work/out" "[00:04.36]How I wonder what you are"
lacks "no syllable tags" "$work/out" "<00:"
check "enhanced lrc" 0 "$cli" lyrics "$kar" -f lrc-enhanced
contains "syllable time tag" "$work/out" "<00:04.90>I <00:05.45>won"

sakura="$examples/sakura.mid"
check "Shift JIS by name" 0 "$cli" lyrics "$sakura" --encoding shift_jis
contains "decoded words" "$work/out" "さくら さくら"
contains "lyric events" "$work/err" "karaoke type: T1"
check "Shift JIS by number" 0 "$cli" lyrics "$sakura" --encoding 8 --format lrc
contains "decoded lrc" "$work/out" "[00:03.33]やよいのそらは"
check "without --encoding the texts' encoding is found" 0 "$cli" lyrics "$sakura"
contains "detected Shift JIS" "$work/out" "さくら"
check "an explicit encoding wins" 0 "$cli" lyrics "$sakura" --encoding latin1
lacks "Latin 1 shows other characters" "$work/out" "さくら"

# A lyric chord and a syllable: MThd, then one track with "%Am" and "la" at tick 0.
printf 'MThd\0\0\0\6\0\0\0\1\1\340MTrk\0\0\0\21\0\377\5\3%%Am\0\377\5\2la\0\377\57\0' >"$work/chords.mid"
check "chordpro merges chords" 0 "$cli" lyrics "$work/chords.mid" --format chordpro
contains "chord before the word" "$work/out" "[Am]la"
check "chords listed after the text" 0 "$cli" lyrics "$work/chords.mid" --chords
contains "chord line" "$work/out" "0:00.000	Am"

check "unknown format" 2 "$cli" lyrics "$kar" --format html
check "unknown encoding" 2 "$cli" lyrics "$kar" --encoding klingon
check "no file" 2 "$cli" lyrics
check "missing file" 1 "$cli" lyrics "$work/none.mid"
contains "error names the file" "$work/err" "none.mid"
printf 'not a midi file' >"$work/garbage.mid"
check "file that is not MIDI" 1 "$cli" lyrics "$work/garbage.mid"
check "help" 0 "$cli" lyrics --help
contains "usage" "$work/out" "Usage: scorewell-cli lyrics"

finish
