#!/usr/bin/env bash
# edit: scripts of edit operations change a file as asked, undo takes them back exactly,
# clips carry events between files, and a bad line names its number and writes nothing.
source "$(dirname "$0")/common.sh" "$@"

events() { "$cli" dump "$1" | tail -n +3; }

src="$examples/band.mid"
events "$src" >"$work/original"

# Every kind of operation, each undone: the file comes back event for event.
cat >"$work/undo_all.txt" <<'SCRIPT'
set 9 ticks 100
undo
insert 0 1 90 3C 64 dur 240
undo
remove 3-5
undo
shift 6-20 +480 track
undo
duplicate 9
undo
copy 9-12 clip.swc
paste clip.swc 1920
undo
change 9-20 channelPlusOne 3
undo
SCRIPT
(cd "$work" && check "undo every operation" 0 "$cli" edit "$src" -o "$work/same.mid" "$work/undo_all.txt")
events "$work/same.mid" >"$work/same"
cmp -s "$work/original" "$work/same" || { fail "undo did not restore the file"; diff "$work/original" "$work/same" | head; }

# Insert a note and redo an undone removal, from standard input.
printf 'insert 960 2 90 48 50 dur 120\nremove 0\nundo\nredo\n' >"$work/in.txt"
check "script on stdin" 0 "$cli" edit "$src" -o "$work/edited.mid" <"$work/in.txt"
events "$work/edited.mid" >"$work/edited"
matches "inserted note" "$work/edited" 'C4 (72) velocity 80 duration 120'
[ "$(wc -l <"$work/edited")" -eq "$(($(wc -l <"$work/original") + 1))" ] || fail "expected one event more (two in, one out)"

# dump's INDEX column numbers the events as scripts do: the row it names is the one removed.
row=$(awk '$7 == "Program" { print; exit }' "$work/original")
index=$(echo "$row" | awk '{ print $1 }')
printf 'remove %s\n' "$index" >"$work/by_index.txt"
check "remove by dump index" 0 "$cli" edit "$src" -o "$work/by_index.mid" "$work/by_index.txt"
"$cli" dump "$work/by_index.mid" | awk '$7 == "Program" { $1 = ""; print; exit }' >"$work/first_program"
[ "$(echo "$row" | awk '{ $1 = ""; print }')" != "$(cat "$work/first_program")" ] || fail "dump index $index did not name the removed event"

# A clip of one file pasted into another at a measure, on a chosen track.
printf 'copy 9-11 %s/clip.swc\n' "$work" >"$work/copy.txt"
check "copy to a clip" 0 "$cli" edit "$src" -o "$work/unused.mid" "$work/copy.txt"
[ -s "$work/clip.swc" ] || fail "no clip written"
printf 'paste %s/clip.swc 003:01:000 track 1 together\n' "$work" >"$work/paste.txt"
check "paste a clip" 0 "$cli" edit "$examples/scale.mid" -o "$work/pasted.mid" "$work/paste.txt"
"$cli" dump "$work/pasted.mid" | awk '$2 == 3840' >"$work/at3"
[ "$(wc -l <"$work/at3")" -ge 3 ] || { fail "pasted events not at 3840"; cat "$work/at3"; }

# Errors name the script line, and nothing is written.
printf 'remove 0\n\n# fine so far\nshift 0 sideways\n' >"$work/bad.txt"
check "bad line" 1 "$cli" edit "$src" -o "$work/bad.mid" "$work/bad.txt"
matches "line number" "$work/err" 'bad.txt:4:'
[ ! -e "$work/bad.mid" ] || fail "a failed script wrote its output"
printf 'undo\n' >"$work/undo.txt"
check "nothing to undo" 1 "$cli" edit "$src" -o "$work/bad.mid" "$work/undo.txt"
matches "undo message" "$work/err" 'nothing to undo'
printf 'insert 0 9 90 3C 64\n' >"$work/track.txt"
check "missing track" 1 "$cli" edit "$src" -o "$work/bad.mid" "$work/track.txt"
printf 'paste %s\n' "$work/undo.txt" >"$work/notclip.txt"
check "not a clip" 1 "$cli" edit "$src" -o "$work/bad.mid" "$work/notclip.txt"
check "missing script" 1 "$cli" edit "$src" -o "$work/bad.mid" "$work/none.txt"
check "missing input" 1 "$cli" edit "$work/none.mid" -o "$work/bad.mid" "$work/undo.txt"
check "no output option" 2 "$cli" edit "$src"
check "help" 0 "$cli" edit --help
matches "help text" "$work/out" 'Usage: scorewell-cli edit'

finish
