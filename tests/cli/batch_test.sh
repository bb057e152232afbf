#!/usr/bin/env bash
# The batch commands as scripts use them: exit codes, the confirmation, dry runs that touch
# nothing, options that are not saved, the log, and Ctrl-C between files.
set -u
cli="$1"
examples="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export SCOREWELL_CONFIG_DIR="$work/config"  # never the user's settings
failures=0

check() {  # check DESCRIPTION EXPECTED-STATUS COMMAND...
  local description="$1" expected="$2"
  shift 2
  "$@" >"$work/out" 2>"$work/err" </dev/null
  local status=$?
  if [ "$status" -ne "$expected" ]; then
    echo "FAIL: $description: exit $status, expected $expected"; cat "$work/err"; failures=$((failures + 1))
  fi
}
contains() {  # contains DESCRIPTION FILE PATTERN
  if ! grep -q -- "$3" "$2"; then
    echo "FAIL: $1: no '$3' in"; cat "$2"; failures=$((failures + 1))
  fi
}
same() {  # same DESCRIPTION FILE COPY
  if ! cmp -s "$2" "$3"; then echo "FAIL: $1: $2 changed"; failures=$((failures + 1)); fi
}

songs="$work/songs"
mkdir -p "$songs/sub"
cp "$examples/band.mid" "$songs/band.mid"
cp "$examples/scale.mid" "$songs/sub/scale"
cp "$examples/twinkle.kar" "$songs/sub/twinkle.kar"
cp -r "$songs" "$work/originals"

check "fix --help" 0 "$cli" fix --help
contains "help shows the setting" "$work/out" "set the type to .Midi. and correct the name extension \[on\]"
check "no paths" 2 "$cli" fix
check "unknown option" 2 "$cli" fix --bogus "$songs"
check "bad choice" 2 "$cli" convert --format 3 "$songs"
contains "bad choice names the values" "$work/err" "0, 1"
check "missing log folder" 2 "$cli" compand --log "$work/none/log.txt" "$songs"

# Destructive without a terminal and without --yes: refused, nothing touched.
check "destructive run needs --yes" 2 "$cli" fix --tempo-signature "$songs"
contains "refusal says why" "$work/err" "--yes"
same "refused run" "$songs/band.mid" "$work/originals/band.mid"
[ -e "$songs/sub/scale" ] || { echo "FAIL: refused run renamed a file"; failures=$((failures + 1)); }

# A dry run writes nothing, not even the modification time.
before="$(stat -c %y "$songs/band.mid" "$songs/sub/scale")"
check "dry run" 0 "$cli" convert --dry-run --format 0 "$songs"
contains "dry run tells" "$work/out" "would be"
contains "dry-run summary" "$work/err" "dry run: 3 files"
same "dry run" "$songs/band.mid" "$work/originals/band.mid"
[ "$before" = "$(stat -c %y "$songs/band.mid" "$songs/sub/scale")" ] ||
  { echo "FAIL: dry run changed a modification time"; failures=$((failures + 1)); }
[ -z "$(ls -A "$work/config" 2>/dev/null | grep -v '^settings.plist$')" ] || true

# Fix without the tempo repair is not destructive: the name is corrected, the content kept.
check "fix renames" 0 "$cli" fix "$songs"
[ -e "$songs/sub/scale.mid" ] && [ ! -e "$songs/sub/scale" ] ||
  { echo "FAIL: scale was not renamed to scale.mid"; failures=$((failures + 1)); }
same "fix without repairs" "$songs/sub/scale.mid" "$work/originals/sub/scale"
contains "summary" "$work/err" "3 files, 3 succeeded (3 changed), 0 failed, 0 skipped"
# Options are for the run only.
if [ -e "$work/config/settings.plist" ] && grep -q fixSignature "$work/config/settings.plist"; then
  echo "FAIL: an option was saved"; failures=$((failures + 1))
fi

# A folder and a file in it: the file is processed once.
check "nested path once" 0 "$cli" compand --compress "$songs" "$songs/band.mid"
contains "nested path counted once" "$work/err" "3 files"

# Convert in place, then the one-file form with -o.
check "convert to format 0" 0 "$cli" convert --yes --format 0 "$songs/band.mid"
check "info after convert" 0 "$cli" info --json "$songs/band.mid"
contains "format 0 now" "$work/out" '"format":0'
check "convert -o keeps the one-file form" 0 "$cli" convert "$songs/band.mid" -o "$work/band1.mid" --format 1
check "info of the copy" 0 "$cli" info --json "$work/band1.mid"
contains "format 1 copy" "$work/out" '"format":1'

check "karaoke" 0 "$cli" karaoke --yes --chords text "$songs/sub/twinkle.kar"
check "utf8" 0 "$cli" utf8 --yes --encoding 5 "$songs"
# A name too short for a confident guess: utf8 leaves the file alone unless told its encoding.
printf 'MThd\0\0\0\6\0\0\0\1\1\340MTrk\0\0\0\14\0\377\3\4Caf\351\0\377\57\0' >"$work/cafe.mid"
cp "$work/cafe.mid" "$work/cafe-before.mid"
check "utf8 refuses an unsure encoding" 1 "$cli" utf8 --yes "$work/cafe.mid"
contains "says why" "$work/err" "cannot be told with confidence"
cmp -s "$work/cafe.mid" "$work/cafe-before.mid" || { echo "FAIL: the refused file changed"; failures=$((failures + 1)); }
check "utf8 with the encoding given" 0 "$cli" utf8 --yes --encoding latin1 "$work/cafe.mid"
check "converted name" 0 "$cli" info --long "$work/cafe.mid"
contains "name in UTF-8" "$work/out" "Café"

# The text and musical commands run the same way.
check "extract-lyrics" 0 "$cli" extract-lyrics --format lrc "$songs/sub"
[ -s "$songs/sub/twinkle.lrc" ] || { echo "FAIL: no twinkle.lrc"; failures=$((failures + 1)); }
cp "$songs/band.mid" "$work/band-before.mid"
check "transpose needs --yes" 2 "$cli" transpose --semitones 2 "$songs/band.mid"
check "transpose -o keeps the one-file form" 0 "$cli" transpose "$songs/band.mid" -o "$work/up.mid" --semitones 2
same "transpose -o leaves its input" "$songs/band.mid" "$work/band-before.mid"
check "transpose in place" 0 "$cli" transpose --yes --semitones 2 --channels 1-9,11-16 "$songs/band.mid"
same "both forms agree" "$songs/band.mid" "$work/up.mid"
check "bad channel list" 2 "$cli" transpose --yes --channels 0-3 "$songs/band.mid"
check "text with a control character" 2 "$cli" set-text --text "$(printf 'a\001b')" "$songs/band.mid"

# A file that is not MIDI fails, the others go on; errors reach stderr and the log file.
printf 'not a midi file' >"$songs/garbage.mid"
check "one file fails" 1 "$cli" compand --expand --log "$work/log.txt" "$songs/garbage.mid" "$songs/band.mid" "$work/none.mid"
contains "summary counts" "$work/err" "3 files, 1 succeeded"
contains "summary counts failures" "$work/err" ", 2 failed"
contains "stderr log" "$work/err" "garbage.mid"
if ! grep -qP '^[^\t]+ [^\t]+\t.*/garbage\.mid .* \[-?[0-9]+\]$' "$work/log.txt"; then
  echo "FAIL: log line format:"; cat "$work/log.txt"; failures=$((failures + 1))
fi
contains "missing path logged" "$work/log.txt" "none.mid does not exist \[-43\]"

# Ctrl-C stops between files and leaves every file whole.
many="$work/many"
mkdir -p "$many"
for i in $(seq 1 1000); do cp "$examples/band.mid" "$many/song$i.mid"; done
"$cli" fix --yes --tempo-signature --add-resets "$many" >/dev/null 2>"$work/err" &
pid=$!
sleep 0.2
kill -INT "$pid" 2>/dev/null
wait "$pid"
status=$?
if [ "$status" -eq 1 ]; then
  contains "stopped summary" "$work/err" "stopped"
elif [ "$status" -ne 0 ]; then
  echo "FAIL: interrupted run: exit $status"; cat "$work/err"; failures=$((failures + 1))
fi
if ls -A "$many" | grep -q scorewell-; then echo "FAIL: temporary file left"; failures=$((failures + 1)); fi
check "every file whole after Ctrl-C" 0 "$cli" info "$many"

# Presets: the parameters of a run saved under a name, then taken again; options given beside
# a preset win over it.
cp "$examples/scale.mid" "$work/preset.mid"
check "save a preset" 0 "$cli" transpose --semitones 5 --channels 1 --save-preset fourth
check "the preset is listed" 0 "$cli" presets transpose
contains "preset name" "$work/out" "fourth"
check "run with the preset" 0 "$cli" transpose --preset fourth --dry-run "$work/preset.mid"
contains "preset's interval" "$work/out" "transposed by +5"
check "an option beside the preset wins" 0 "$cli" transpose --preset fourth --semitones 2 --dry-run "$work/preset.mid"
contains "option's interval" "$work/out" "transposed by +2"
check "an unknown preset" 2 "$cli" transpose --preset none --dry-run "$work/preset.mid"
# One list per command, the same for 'presets' and the command; a preset holds every parameter.
check "the command's list" 0 "$cli" presets Transpose
contains "saved by transpose" "$work/out" "fourth"
check "presets --save by list name" 0 "$cli" presets --save Transpose current
check "read by transpose" 0 "$cli" transpose --preset current --dry-run "$work/preset.mid"
check "a preset of an option never given" 0 "$cli" presets Transpose fourth
contains "every key saved" "$work/out" "transposeChannelMask"
check "set-text presets" 0 "$cli" set-text --pattern1 '^x' --save-preset strip
check "in the sheet's list" 0 "$cli" presets SetMetaEventText strip
contains "its pattern" "$work/out" '"^x"'
# Channel 10 is transposed only when "enableChannel10Transpose" is set.
check "all channels" 0 "$cli" transpose --semitones 1 --channels 1-16 --dry-run "$work/preset.mid"
contains "drums left out" "$work/err" "channel 10 is left out"

if [ "$failures" -ne 0 ]; then
  echo "$failures batch checks failed"
  exit 1
fi
echo "batch checks passed"
