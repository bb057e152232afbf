#!/usr/bin/env bash
# Batches over a whole collection from the command line: parallel and sequential runs give the
# same files, report lines and JSON; --output-dir never writes into the input tree; Ctrl-C in a
# parallel run leaves every file whole; a full disk under --output-dir fails the files that do
# not fit and leaves nothing half-written; the JSON has the fields it promises.
source "$(dirname "$0")/common.sh"

# A format 0 file of N notes on two channels (17 bytes a note).
song() {  # song PATH NOTES PITCH
  local body="" i pitch size
  for ((i = 0; i < $2; i++)); do
    printf -v pitch '%02x' $(($3 + i % 12))
    body+="\x00\x90\x$pitch\x64\x00\x91\x30\x50\x83\x60\x80\x$pitch\x00\x00\x81\x30\x00"
  done
  body+="\x00\xff\x2f\x00"
  local length=$(($2 * 17 + 4))
  printf -v size '\\x%02x\\x%02x\\x%02x\\x%02x' $((length >> 24 & 255)) $((length >> 16 & 255)) $((length >> 8 & 255)) \
    $((length & 255))
  printf "MThd\x00\x00\x00\x06\x00\x00\x00\x01\x01\xe0MTrk$size$body" >"$1"
}

tree="$work/tree"
for folder in a a/deep b c; do mkdir -p "$tree/$folder"; done
n=0
for folder in a a/deep b c; do
  for i in 1 2 3 4 5 6 7 8 9 10; do
    n=$((n + 1))
    song "$tree/$folder/song$i.mid" $((n * 7 % 150 + 1)) $((40 + n % 30))
  done
done
cp "$examples/twinkle.kar" "$tree/b/twinkle.kar"
cp "$examples/band.mid" "$tree/c/band"
printf 'MThd\x00\x00\x00\x06\x00\x01\x00\x02\x01\xe0MTrk\x00\x00\x00\x08\x00\x90\x3c\x64\x00\xff\x2f\x00MTrk\x00\x00\x01\x00\x00\x90\x3c' >"$tree/c/damaged.mid"
echo "no song" >"$tree/b/notes.txt"
cp "$examples/band.mid" "$tree/a/.hidden.mid"
cp -r "$tree" "$work/originals"

normalised() {  # the JSON lines with the folder as ROOT and without times or jobs
  sed -e "s|$1|ROOT|g" -e 's/,"seconds":[0-9.]*,"files_per_second":[0-9.]*//' -e 's/"jobs":[0-9]*,//' "$2"
}
logged() {  # the log lines without their times, the summary without its timing
  sed -e "s|$1|ROOT|g" -e 's/^[^\t]*\t//' -e 's/; [0-9.]* s, [0-9]* files\/s$//' "$2"
}

# Parallel and sequential runs over the same tree.
cp -r "$tree" "$work/one"
cp -r "$tree" "$work/four"
check "convert --jobs 1" 1 "$cli" convert --format 1 -y --json --jobs 1 "$work/one"
normalised "$work/one" "$work/out" >"$work/one.json"
logged "$work/one" "$work/err" >"$work/one.log"
check "convert --jobs 4" 1 "$cli" convert --format 1 -y --json --jobs 4 "$work/four"
normalised "$work/four" "$work/out" >"$work/four.json"
logged "$work/four" "$work/err" >"$work/four.log"
diff -r "$work/one" "$work/four" >/dev/null || fail "parallel and sequential runs wrote different files"
cmp -s "$work/one.json" "$work/four.json" || { fail "parallel and sequential JSON differ"; diff "$work/one.json" "$work/four.json"; }
cmp -s "$work/one.log" "$work/four.log" || { fail "parallel and sequential logs differ"; diff "$work/one.log" "$work/four.log"; }
contains "damaged file fails" "$work/one.json" '"path":"ROOT/c/damaged.mid","outcome":"failed"'
contains "summary counts" "$work/one.log" "45 files, 42 succeeded (41 changed, 1 unchanged), 1 failed, 2 skipped"
check "text report --jobs 1" 1 "$cli" compand --compress --jobs 1 "$work/one"
cp "$work/out" "$work/one.text"
check "text report --jobs 3" 1 "$cli" compand --compress --jobs 3 "$work/four"
sed "s|$work/four|$work/one|g" "$work/out" | cmp -s - "$work/one.text" || fail "report lines differ between job counts"

# The JSON: one object per file with its fields, then the summary.
jq -e -s '
  (.[:-1] | all(.type == "file" and (.path | type) == "string"
                and (.outcome | IN("changed", "unchanged", "failed", "skipped"))
                and (.changes | type) == "array" and (.status | type) == "number"
                and (.message | type) == "string" and (.written | type) == "array"
                and ((.output == null) or (.output | type) == "string")
                and ((.outcome == "failed" or .outcome == "skipped") == (.status != 0))
                and ((.outcome == "changed") == (.output != null))))
  and (.[-1] | .type == "summary" and .files == 45 and .changed + .unchanged + .failed + .skipped == .files
               and (.seconds | type) == "number" and (.files_per_second | type) == "number"
               and .jobs == 4 and .stopped == false)' <(sed "s|ROOT|$work/four|g" "$work/four.json" | sed 's/"type":"summary",/&"jobs":4,"seconds":0,"files_per_second":0,/') >/dev/null ||
  fail "the JSON lacks a promised field"

# A name that is not UTF-8 still gives UTF-8 JSON, its stray byte as U+FFFD.
mkdir -p "$work/odd"
cp "$examples/band.mid" "$work/odd/$(printf 'bad\xffname.mid')"
check "odd name" 0 "$cli" compand --expand --dry-run --json "$work/odd"
iconv -f UTF-8 -t UTF-8 "$work/out" >/dev/null 2>&1 || fail "the JSON of an odd name is not UTF-8"
contains "odd name replaced" "$work/out" 'bad\ufffdname.mid'
# Its bytes come too, so that a script can find the file (and its result) again.
found_again() {  # found_again DESCRIPTION KEY: the hex of KEY in $work/out names a file
  local hex
  hex="$(jq -r "select(.$2 != null) | .$2" "$work/out" | head -1)"
  [ -n "$hex" ] || { fail "$1: no $2"; return; }
  [ -f "$(printf "$(sed 's/../\\x&/g' <<<"$hex")")" ] || fail "$1: $2 names no file"
}
found_again "batch path bytes" path_hex
check "odd name converted" 0 "$cli" convert --format 0 --json --output-dir "$work/odd-out" "$work/odd"
found_again "batch output bytes" output_hex
check "odd name in info" 0 "$cli" info --json "$work/odd"
found_again "info path bytes" pathHex
check "a UTF-8 name" 0 "$cli" info --json "$examples/band.mid"
lacks "no bytes for a UTF-8 name" "$work/out" 'pathHex'

# --output-dir: the input tree is not touched; only what changed is written, in its layout.
snapshot() { (cd "$1" && find . -printf '%p %i %s %T@ %m\n' | sort); }
before="$(snapshot "$tree")"
check "convert --output-dir" 1 "$cli" convert --format 1 --json --output-dir "$work/results" "$tree"
[ "$before" = "$(snapshot "$tree")" ] || fail "--output-dir touched the input tree"
diff -r "$tree" "$work/originals" >/dev/null || fail "--output-dir changed an original"
[ -f "$work/results/a/deep/song3.mid" ] || fail "no result in the input's layout"
[ -f "$work/results/c/band.mid" ] || fail "the result of a file without extension lacks its name"
[ ! -e "$work/results/b/twinkle.kar" ] || fail "an unchanged file was copied"
cmp -s "$work/results/a/deep/song3.mid" "$work/one/a/deep/song3.mid" || fail "a result differs from the in-place one"
contains "JSON names the output" "$work/out" "\"output\":\"$work/results/a/song1.mid\""
check "extract-lyrics --output-dir" 0 "$cli" extract-lyrics --output-dir "$work/lyrics" "$tree/b"
[ -f "$work/lyrics/twinkle.txt" ] || fail "no side file beside the result"
[ ! -e "$tree/b/twinkle.txt" ] || fail "a side file went beside the original"
check "output inside the input" 2 "$cli" convert --format 1 --output-dir "$tree/b/out" "$tree"
contains "refusal says why" "$work/err" "lies inside"
[ ! -e "$tree/b/out" ] || fail "the refused output folder was made"
check "output holding a named file" 2 "$cli" convert --format 1 --output-dir "$tree/a" "$tree/a/song1.mid"
[ "$before" = "$(snapshot "$tree")" ] || fail "a refused run touched the input tree"

# Choosing files.
check "include and exclude" 0 "$cli" compand --expand --dry-run --json --include '*.mid' --exclude deep --exclude 'c/*' "$tree"
lacks "excluded folder" "$work/out" "/deep/"
lacks "excluded path" "$work/out" "/c/"
lacks "not included" "$work/out" "twinkle.kar"
check "no recursion" 0 "$cli" compand --expand --dry-run --json --no-recurse "$tree"
contains "nothing below" "$work/out" '"files":0'

# info lists what a batch with the same choice takes: no hidden file, no link unless followed,
# a file named twice once.
ln -s "$tree/b" "$tree/a/linked"
choice=(--include '*.mid' --exclude deep --exclude 'c/*' "$tree" "$tree/a/song1.mid")
check "info with a choice" 0 "$cli" info --json "${choice[@]}"
sed -n 's/^{"path":"\([^"]*\)".*/\1/p' "$work/out" >"$work/info.paths"
check "the same choice in a batch" 0 "$cli" compand --expand --dry-run --json "${choice[@]}"
sed -n 's/^{"type":"file","path":"\([^"]*\)","outcome":"\(changed\|unchanged\)".*/\1/p' "$work/out" >"$work/batch.paths"
cmp -s "$work/info.paths" "$work/batch.paths" || { fail "info and a batch chose different files"; diff "$work/info.paths" "$work/batch.paths"; }
[ "$(wc -l <"$work/info.paths")" -eq 20 ] || fail "info listed $(wc -l <"$work/info.paths") files, expected 20"
check "info following links" 0 "$cli" info --json --follow-links --include '*.mid' "$tree/a" "$tree/b"
# b's songs come once, at the path they were met first (through the link, walked before b).
[ "$(grep -c '"path"' "$work/out")" -eq 30 ] || fail "info --follow-links listed $(grep -c '"path"' "$work/out") files, expected 30"
[ "$(grep -c '"path":"[^"]*/b/song' "$work/out")" -eq 0 ] || fail "a folder listed twice through a link"
check "info through a link only" 0 "$cli" info --json --follow-links --no-recurse --include '*.mid' "$tree/a/linked"
[ "$(grep -c '"path"' "$work/out")" -eq 10 ] || fail "a linked folder named alone was not listed"
check "info without recursion" 0 "$cli" info --json --no-recurse "$tree"
[ ! -s "$work/out" ] || fail "info --no-recurse listed files below the folder"
rm "$tree/a/linked"

# Ctrl-C in a parallel run: each file is the original or the complete result.
mkdir -p "$work/many"
for i in $(seq 1 16); do cp -r "$tree/a" "$work/many/a$i"; done
cp -r "$work/many" "$work/many-expected"
"$cli" convert --format 1 -y --jobs 1 "$work/many-expected" >/dev/null 2>&1
"$cli" convert --format 1 -y --jobs 2 "$work/many" >/dev/null 2>"$work/err" &
pid=$!
sleep 0.3
kill -INT "$pid" 2>/dev/null
wait "$pid"
status=$?
[ "$status" -le 1 ] || fail "Ctrl-C: exit $status"
while IFS= read -r -d '' file; do
  relative="${file#"$work/many/"}"
  cmp -s "$file" "$work/many-expected/$relative" || cmp -s "$file" "$tree/a/${relative#*/}" ||
    cmp -s "$file" "$tree/a/$(basename "${relative#*/}")" || fail "Ctrl-C left $relative neither original nor converted"
done < <(find "$work/many" -type f -print0)
[ -z "$(find "$work/many" -name '*.scorewell-*')" ] || fail "Ctrl-C left temporary files"

# A full disk under --output-dir (files may be at most 1 KiB): the files that do not fit fail,
# cleanly; the others are written whole; nothing half-written stays.
( trap '' XFSZ; ulimit -f 1; exec "$cli" convert --format 1 --jobs 2 --output-dir "$work/full" "$tree" ) >"$work/out" 2>"$work/err"
[ $? -eq 1 ] || fail "a full disk is not reported as a failure"
contains "failure logged" "$work/err" "could not be written"
[ -z "$(find "$work/full" -name '.*scorewell-*')" ] || fail "a failed write left a temporary file"
while IFS= read -r -d '' file; do
  cmp -s "$file" "$work/results/${file#"$work/full/"}" || fail "half-written result ${file#"$work/full/"}"
done < <(find "$work/full" -type f -print0)
[ -n "$(find "$work/full" -type f)" ] || fail "no small file was written"
diff -r "$tree" "$work/originals" >/dev/null || fail "a full disk changed an original"

finish
