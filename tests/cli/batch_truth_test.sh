#!/usr/bin/env bash
# What the batch commands write and say: files they leave unchanged are not written, files the
# user may not write are refused, temporary files of an interrupted write are cleaned up and
# never listed, and every report says once, in the log too, what really happened.
source "$(dirname "$0")/common.sh" "$@"

songs="$work/songs"
mkdir -p "$songs"
cp "$examples/twinkle.kar" "$songs/twinkle.kar"
cp "$examples/scale.mid" "$songs/scale.mid"
inode() { stat -c %i "$1"; }

# Lyrics to markers on a karaoke file (its lyrics sit among note and tempo events).
check "lyrics-to-markers" 0 "$cli" lyrics-to-markers --yes "$songs/twinkle.kar"
contains "lyrics moved" "$work/out" "changed into markers"
check "dump after" 0 "$cli" dump "$songs/twinkle.kar"
contains "markers made" "$work/out" "Marker"

# Commands that change nothing write nothing and say "unchanged".
before="$(inode "$songs/scale.mid")"
cp "$songs/scale.mid" "$work/scale-before.mid"
check "markers-to-lyrics without markers" 0 "$cli" markers-to-lyrics --yes "$songs/scale.mid"
contains "reported unchanged" "$work/out" "scale.mid: unchanged"
contains "summary counts it" "$work/err" "1 succeeded (1 unchanged)"
check "transpose 0" 0 "$cli" transpose --yes --semitones 0 "$songs/scale.mid"
contains "transpose 0 unchanged" "$work/out" "unchanged"
check "remove-track without a match" 0 "$cli" remove-track --yes --name Nobody "$songs/scale.mid"
contains "remove-track unchanged" "$work/out" "unchanged"
[ "$(inode "$songs/scale.mid")" = "$before" ] || fail "an unchanged file was rewritten"
cmp -s "$songs/scale.mid" "$work/scale-before.mid" || fail "an unchanged file changed"
check "channel from 1 to 1" 2 "$cli" channel --yes --from 1 --to 1 "$songs/scale.mid"
contains "same channel explained" "$work/err" "same channel"

# A file the user may not write: refused, left alone, logged once, not reported as changed.
chmod 444 "$songs/scale.mid"
check "read-only file" 1 "$cli" transpose --yes --semitones 2 --log "$work/log.txt" "$songs/scale.mid"
cmp -s "$songs/scale.mid" "$work/scale-before.mid" || fail "a read-only file was replaced"
contains "refusal logged" "$work/log.txt" "permission denied"
contains "refusal status" "$work/log.txt" "[-54]"
lacks "not told as transposed" "$work/out" "transposed"
chmod 644 "$songs/scale.mid"

# Running status never makes a file of zero-velocity note-ons bigger.
printf 'MThd\0\0\0\6\0\0\0\1\1\340MTrk\0\0\0\32\0\220\74\144\203\140\74\0\0\76\144\203\140\76\0\0\100\144\203\140\100\0\0\377\57\0' \
  >"$songs/notes.mid"
size="$(stat -c %s "$songs/notes.mid")"
check "compress" 0 "$cli" compand --compress "$songs/notes.mid"
[ "$(stat -c %s "$songs/notes.mid")" -le "$size" ] || fail "compressing made the file bigger"
# Compressed again: nothing to write, so a read-only file is no failure.
chmod 444 "$songs/notes.mid"
check "compress a compressed read-only file" 0 "$cli" compand --compress "$songs/notes.mid"
contains "compressed file unchanged" "$work/out" "notes.mid: unchanged"
chmod 644 "$songs/notes.mid"

# Temporary files left by a killed write: never listed, removed by the next run over the folder.
stale="$songs/.twinkle.kar.scorewell-0123456789abcdef"
cp "$examples/twinkle.kar" "$stale"
touch -d '1 hour ago' "$stale"
check "info of the folder" 0 "$cli" info "$songs"
lacks "temporary file not listed" "$work/out" "scorewell-"
check "a run over the folder" 0 "$cli" compand --expand "$songs"
[ ! -e "$stale" ] || fail "the stale temporary file is still there"
contains "removal told" "$work/out" "left by an interrupted write"

# A side file that cannot be written is logged under its own name.
cp "$examples/twinkle.kar" "$work/words.kar"
mkdir "$work/words.txt"
check "side file refused" 1 "$cli" extract-lyrics --format text --log "$work/side.txt" "$work/words.kar"
contains "side file named" "$work/side.txt" "words.txt"

# A bad regular expression fails the file and leaves it alone.
cp "$songs/twinkle.kar" "$work/twinkle-before.kar"
check "bad pattern" 1 "$cli" set-text --from-name --pattern1 "(" --log "$work/regex.txt" "$songs/twinkle.kar"
contains "pattern logged" "$work/regex.txt" "regular expression"
cmp -s "$songs/twinkle.kar" "$work/twinkle-before.kar" || fail "a bad pattern changed the file"

# A line feed in a file name stays on its log line.
odd="$songs/two
lines.mid"
cp "$examples/scale.mid" "$odd"
chmod 444 "$odd"
check "odd name" 1 "$cli" transpose --yes --semitones 1 --log "$work/odd.txt" "$odd"
[ "$(wc -l <"$work/odd.txt")" -eq 2 ] || { fail "the log line was split"; cat "$work/odd.txt"; }
contains "escaped line feed" "$work/odd.txt" 'two\nlines.mid'
rm -f "$odd"

# Karaoke with XF chords when a chord has none: the report does not claim chords.
printf 'MThd\0\0\0\6\0\0\0\1\1\340MTrk\0\0\0\30\0\377\5\12%%Cmaj13#11\0\377\5\2la\0\377\57\0' >"$songs/chord.mid"
check "karaoke xf without an XF form" 1 "$cli" karaoke --yes --chords xf "$songs/chord.mid"
lacks "no chords claimed" "$work/out" "XF chords written"
contains "no chord said" "$work/err" "no chord"

# Dry runs predict the renames the real run makes, and their collisions.
cp "$examples/twinkle.kar" "$songs/three.mid"
check "dry-run convert to one track" 0 "$cli" convert --dry-run --format 0 "$songs/three.mid"
lacks "no rename predicted" "$work/out" "renamed"
check "convert to one track" 0 "$cli" convert --yes --format 0 "$songs/three.mid"
[ -e "$songs/three.mid" ] || fail "the converted file was renamed"
touch "$songs/fix"
cp "$examples/scale.mid" "$songs/fix.mid.src"
mv "$songs/fix.mid.src" "$songs/fixme"
touch "$songs/fixme.mid"
check "dry-run rename collision" 1 "$cli" fix --dry-run "$songs/fixme"
contains "collision told" "$work/err" "fixme.mid exists"

# A file without events converted to format 1 still reads.
printf 'MThd\0\0\0\6\0\0\0\1\1\340MTrk\0\0\0\4\0\377\57\0' >"$work/empty.mid"
check "convert an empty file" 0 "$cli" convert "$work/empty.mid" -o "$work/empty1.mid" --format 1
check "it reads back" 0 "$cli" info "$work/empty1.mid"

# edit: a line that changes nothing is an error with its line number.
printf 'set 0 noteOnDuration 100\n' >"$work/script"
check "edit without effect" 1 "$cli" edit "$examples/scale.mid" -o "$work/edited.mid" "$work/script"
contains "line number" "$work/err" "script:1"
[ ! -e "$work/edited.mid" ] || fail "a failed script wrote its output"

finish
