#!/usr/bin/env bash
# run_fuzzers.sh BUILD_DIR SECONDS: runs every fuzz target of BUILD_DIR for SECONDS each, from a
# seed corpus made here (the project's example files and a few messages and settings files).
# New inputs gather in BUILD_DIR/fuzz/corpus/<target>; a crashing input is kept in
# BUILD_DIR/fuzz/artifacts and fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
build="$1"
seconds="${2:-15}"
work="$build/fuzz"
seeds="$work/seeds"
rm -rf "$seeds"
mkdir -p "$seeds/smf" "$seeds/sysex" "$seeds/settings" "$work/artifacts"

# MIDI files: the examples, and the smallest file of each format.
cp examples/*.mid examples/*.kar "$seeds/smf/"
printf 'MThd\0\0\0\6\0\0\0\1\1\340MTrk\0\0\0\4\0\377\57\0' >"$seeds/smf/format0.mid"
printf 'MThd\0\0\0\6\0\1\0\2\1\340MTrk\0\0\0\4\0\377\57\0MTrk\0\0\0\10\0\220\74\100\140\200\74\0' >"$seeds/smf/format1.mid"

# Sysex event data (F0, length, bytes ending with F7): resets, master volume, a GS display text.
printf '\360\005\176\177\011\001\367' >"$seeds/sysex/gm_reset"
printf '\360\012\101\020\102\022\100\000\177\000\101\367' >"$seeds/sysex/gs_reset"
printf '\360\010\103\020\114\000\000\176\000\367' >"$seeds/sysex/xg_reset"
printf '\360\007\177\177\004\001\000\144\367' >"$seeds/sysex/master_volume"
printf '\360\013\101\020\105\022\020\000\000\110\151\077\367' >"$seeds/sysex/gs_text"

cat >"$seeds/settings/settings.plist" <<'PLIST'
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>currentCreator</key>
	<string>Krl2</string>
	<key>warnBeforeDestructiveProcessing</key>
	<false/>
	<key>transposeChannelMask</key>
	<integer>65023</integer>
	<key>ratio</key>
	<real>0.25</real>
	<key>TSPreset_x</key>
	<array>
		<dict>
			<key>name</key>
			<string>Untitled</string>
			<key>data</key>
			<array><string>a</string><string>b</string></array>
		</dict>
	</array>
</dict>
</plist>
PLIST

run() {
  local target="$1" seed="$2"
  local corpus="$work/corpus/$target"
  local log="$work/$target.log"
  mkdir -p "$corpus"
  echo "Fuzzing $target for $seconds s"
  if ! "$work/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
       -artifact_prefix="$work/artifacts/$target-" "$corpus" "$seeds/$seed" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "$target failed; the input is in $work/artifacts" >&2
    return 1
  fi
  grep -E "stat::number_of_executed_units|stat::new_units_added" "$log" | tr '\n' ' '
  echo
}

run smf_reader_fuzzer smf
run lyrics_extractor_fuzzer smf
run sysex_decoder_fuzzer sysex
run settings_loader_fuzzer settings
