#!/usr/bin/env bash
# The command line as scripts use it: exit codes, messages on stderr, output formats, and
# files that are never damaged by a failed write.
source "$(dirname "$0")/common.sh" "$@"

check "info on the examples" 0 "$cli" info "$examples"
contains "info lists the karaoke file" "$work/out" "twinkle.kar"
[ "$(wc -l <"$work/out")" -eq 6 ] || { echo "FAIL: info table has $(wc -l <"$work/out") lines"; failures=$((failures + 1)); }

check "info --json" 0 "$cli" info --json "$examples/band.mid"
contains "json fields" "$work/out" '"format":1,"tracks":3,"division":480'
contains "json resets" "$work/out" '"resets":["GS"]'
check "info --long" 0 "$cli" info --long "$examples/sakura.mid" "$examples/twinkle.kar"
contains "Japanese name found" "$work/out" "さくら"
contains "karaoke type" "$work/out" " SK "
contains "defect explained" "$work/out" "No GM, GS or XG reset"
check "info --encoding" 0 "$cli" info --json --encoding latin1 "$examples/sakura.mid"
contains "encoding from the option" "$work/out" '"source":"option"'

# Header format 1 with one track; 1000 ticks per quarter; the only tempo (60 BPM) at tick 1
# before the first note; the end 59.9975 s in. The row shows the information record.
printf 'MThd\0\0\0\6\0\1\0\1\3\350MTrk\0\0\0\25\1\377\121\3\17\102\100\11\220\74\144\203\324\124\200\74\100\0\377\57\0' >"$work/one.mid"
check "info on a one-track file" 0 "$cli" info "$work/one.mid"
matches "format 0, seconds cut, tempo before the first note" "$work/out" '^0  *1  *1000  *0:59  *60 '

printf 'not a midi file' >"$work/garbage.mid"
check "info on a file that is not MIDI" 1 "$cli" info "$work/garbage.mid"
contains "error names the file" "$work/err" "garbage.mid"
check "info --all lists it with its status" 1 "$cli" info --all "$work/garbage.mid" "$examples/scale.mid"
contains "status shown" "$work/out" "garbage.mid"
check "a folder skips what is not MIDI" 0 "$cli" info "$work"
check "missing path" 1 "$cli" info "$work/none.mid"
mkfifo "$work/pipe.mid"
check "a named pipe is refused, not waited on" 1 timeout 10 "$cli" info "$work/pipe.mid"
contains "refusal says why" "$work/err" "pipe.mid: is not a regular file"
rm "$work/pipe.mid"
check "unknown option" 2 "$cli" info --bogus "$examples"

# Files read on several threads come out as one thread lists them, failures included.
mkdir -p "$work/many"
for i in $(seq 1 40); do cp "$examples/band.mid" "$work/many/s$i.mid"; cp "$examples/twinkle.kar" "$work/many/k$i.kar"; done
printf 'garbage' >"$work/many/g.mid"
"$cli" info --json --all --jobs 1 "$work/many" "$work/garbage.mid" >"$work/one-job" 2>&1
"$cli" info --json --all --jobs 3 "$work/many" "$work/garbage.mid" >"$work/three-jobs" 2>&1
cmp -s "$work/one-job" "$work/three-jobs" || { echo "FAIL: info --jobs 3 differs from --jobs 1"; failures=$((failures + 1)); }
[ "$(wc -l <"$work/one-job")" -ge 82 ] || { echo "FAIL: info --jobs listed $(wc -l <"$work/one-job") lines"; failures=$((failures + 1)); }
check "info --jobs 0 is a usage error" 2 "$cli" info --jobs 0 "$examples"
check "unknown command" 2 "$cli" bogus

check "dump" 0 "$cli" dump "$examples/scale.mid"
contains "dump shows note names" "$work/out" "C3 (60)"
contains "dump shows positions" "$work/out" "002:01:000"
check "dump of garbage" 1 "$cli" dump "$work/garbage.mid"
check "dump decodes sysex" 0 "$cli" dump "$examples/band.mid"
contains "GS reset with its checksum" "$work/out" "Roland, GS reset, checksum correct"
check "dump decodes XF chords" 0 "$cli" dump "$examples/scale.mid"
contains "XF chord" "$work/out" "XF chord G7"
check "dump in Shift JIS" 0 "$cli" dump --encoding shift_jis "$examples/sakura.mid"
contains "Japanese title" "$work/out" "さくら"
check "dump by encoding number" 0 "$cli" dump --encoding 8 "$examples/sakura.mid"
contains "Japanese lyric" "$work/out" "さく"
check "unknown encoding" 2 "$cli" dump --encoding klingon "$examples/sakura.mid"

check "encodings" 0 "$cli" encodings
contains "Shift JIS listed" "$work/out" "Shift JIS"
contains "KOI8-R listed" "$work/out" "KOI8-R"
check "encodings --json" 0 "$cli" encodings --json
contains "UTF-8 number" "$work/out" '"number":4'

check "chord names" 0 "$cli" chord Am7 "C#m7/E"
contains "XF bytes" "$work/out" "43 7B 01 36 0A 7F 7F"
check "bad chord name" 1 "$cli" chord Cxyz
contains "chord error" "$work/err" "Cxyz"

check "write with running status" 0 "$cli" write "$examples/band.mid" -o "$work/band.mid" --running-status
check "written file reads back" 0 "$cli" dump "$work/band.mid"
contains "same event count" "$work/out" "107 events"
check "format conversion on write" 0 "$cli" write "$examples/band.mid" -o "$work/band0.mid" --format 0
check "converted file reads back" 0 "$cli" info --json "$work/band0.mid"
contains "one track, format 0" "$work/out" '"format":0,"tracks":1'
check "bad format refused" 2 "$cli" write "$examples/band.mid" -o "$work/band2.mid" --format 2
[ -e "$work/band2.mid" ] && { echo "FAIL: refused write created a file"; failures=$((failures + 1)); }

cp "$examples/scale.mid" "$work/keep.mid"
chmod 0640 "$work/keep.mid"
check "write in place" 0 "$cli" write "$work/keep.mid" -o "$work/keep.mid"
[ "$(stat -c %a "$work/keep.mid")" = "640" ] || { echo "FAIL: mode not kept"; failures=$((failures + 1)); }
cp "$work/keep.mid" "$work/before.mid"
mkdir "$work/locked" && cp "$work/keep.mid" "$work/locked/keep.mid" && chmod 0555 "$work/locked"
if [ "$(id -u)" -ne 0 ]; then
  check "write into a read-only folder fails" 1 "$cli" write "$work/locked/keep.mid" -o "$work/locked/keep.mid" --running-status
  cmp -s "$work/locked/keep.mid" "$work/before.mid" || { echo "FAIL: original changed"; failures=$((failures + 1)); }
fi
chmod 0755 "$work/locked"

check "ports" 0 "$cli" ports
contains "ports lists the synthesizer" "$work/out" "built-in synthesizer"
check "ports takes no arguments" 2 "$cli" ports extra
check "play without a file" 2 "$cli" play
check "play with a bad channel list" 2 "$cli" play --mute 0,17 "$examples/scale.mid"
check "play with a bad transposition" 2 "$cli" play --transpose 3.5 "$examples/scale.mid"
check "play with a position outside the signature" 2 "$cli" play --from 1:9:0 "$examples/scale.mid"
check "play of garbage" 1 "$cli" play "$work/garbage.mid"
check "play to a destination that does not exist" 1 "$cli" play --port 4242 "$examples/scale.mid"
check "render needs -o" 2 "$cli" render "$examples/scale.mid"
if [ -e /usr/share/sounds/sf2/default-GM.sf2 ] || [ -e /usr/share/sounds/sf2/TimGM6mb.sf2 ]; then
  SCOREWELL_AUDIO_DRIVER=none check "play the last beats of a file" 0 timeout 20 "$cli" play --synth --from 2:4:0 "$examples/scale.mid"
  contains "play names what it plays through" "$work/out" "built-in synthesizer"
  check "render" 0 "$cli" render "$examples/band.mid" -o "$work/band.wav"
  [ "$(head -c 4 "$work/band.wav")" = "RIFF" ] || { echo "FAIL: render wrote no WAV file"; failures=$((failures + 1)); }
  printf 'keep' >"$work/kept.wav"
  printf 'not a bank' >"$work/bad.sf2"
  check "render with a bank that is not a SoundFont" 1 "$cli" render "$examples/band.mid" -o "$work/kept.wav" --bank "$work/bad.sf2"
  contains "error names the bank" "$work/err" "bad.sf2"
  [ "$(cat "$work/kept.wav")" = "keep" ] || { echo "FAIL: failed render changed the file"; failures=$((failures + 1)); }
else
  echo "no SoundFont installed: play and render checks skipped"
fi

for command in info dump write encodings chord play ports render; do
  check "$command --help" 0 "$cli" "$command" --help
  contains "$command usage" "$work/out" "Usage: scorewell-cli $command"
done

finish
