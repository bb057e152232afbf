#!/usr/bin/env bash
# settings and presets: factory values answer until set, values are read by their key's type,
# reset brings the factory value back, and presets survive save, show and delete.
source "$(dirname "$0")/common.sh" "$@"

check "list on a first run" 0 "$cli" settings
matches "factory creator" "$work/out" '^currentCreator  *factory  *string  *"Krl2"'
matches "mask" "$work/out" '^transposeChannelMask  *factory  *integer  *65023'
matches "unregistered key" "$work/out" '^fixSignature  *unset  *bool  *false'
[ "$(grep -c ' factory ' "$work/out")" -eq 19 ] || fail "not 19 factory values"
[ ! -e "$SCOREWELL_CONFIG_DIR/settings.plist" ] || fail "listing wrote the settings file"

check "set a negative integer" 0 "$cli" settings transposeAmount -5
check "show it as JSON" 0 "$cli" settings --json transposeAmount
matches "user value" "$work/out" '"source":"user","type":"integer","value":-5,"factory":0'
check "bool words" 0 "$cli" settings useGMInstruments No
matches "bool off" "$work/out" 'user  *bool  *false'
check "string" 0 "$cli" settings currentCreator TVOD
check "array as JSON" 0 "$cli" settings lastChoosedFiles '["/music/a", "/music/\u00e9"]'
matches "array kept" "$work/out" '\["/music/a","/music/é"\]'

check "bad bool" 2 "$cli" settings fixSignature maybe
matches "bad bool message" "$work/err" "fixSignature is bool"
check "bad integer" 2 "$cli" settings transposeAmount 3.5
check "wrong JSON type" 2 "$cli" settings printInfo '[1]'
check "broken JSON" 2 "$cli" settings lastChoosedFiles '["a"'
check "lone surrogate" 2 "$cli" settings lastChoosedFiles '["\ud800"]'
check "unknown key" 2 "$cli" settings noSuchKey 1
check "too many arguments" 2 "$cli" settings a b c
check "value refused is not saved" 0 "$cli" settings --json transposeAmount
matches "still -5" "$work/out" '"value":-5'

check "reset" 0 "$cli" settings --reset transposeAmount
matches "factory again" "$work/out" '^transposeAmount  *factory  *integer  *0'
check "other values kept" 0 "$cli" settings currentCreator
matches "creator kept" "$work/out" '"TVOD"'

# A saved value of the wrong type (edited by hand) is shown as passed over, not as the user's.
cp "$SCOREWELL_CONFIG_DIR/settings.plist" "$work/kept.plist"
check "a switch to hand-edit" 0 "$cli" settings useGMInstruments yes
check "a switch without a factory value" 0 "$cli" settings fixSignature yes
sed -i 's|<true/>|<string>maybe</string>|g' "$SCOREWELL_CONFIG_DIR/settings.plist"
check "list with misfits" 0 "$cli" settings
matches "factory value in force" "$work/out" '^useGMInstruments  *factory  *bool  *true$'
matches "unset in force" "$work/out" '^fixSignature  *unset  *bool  *false$'
matches "misfit reported" "$work/err" 'the value of "useGMInstruments" is not a switch'
matches "misfit without factory value reported" "$work/err" 'the value of "fixSignature" ("maybe") is not bool'
check "misfit as JSON" 0 "$cli" settings --json useGMInstruments
matches "rejected value" "$work/out" '"source":"factory","type":"bool","value":true,"factory":true,"rejected":"maybe"'
cp "$work/kept.plist" "$SCOREWELL_CONFIG_DIR/settings.plist"

# A failing save (here the file-size limit, as with a full disk) reports the file and keeps the old one.
cp "$SCOREWELL_CONFIG_DIR/settings.plist" "$work/before.plist"
(ulimit -f 2; trap '' XFSZ; "$cli" settings nameOfTrackToRemove "$(head -c 8000 /dev/zero | tr '\0' x)") >"$work/out" 2>"$work/err"
[ $? -eq 1 ] || fail "failed save: exit status"
matches "failed save message" "$work/err" "settings.plist"
cmp -s "$work/before.plist" "$SCOREWELL_CONFIG_DIR/settings.plist" || fail "failed save changed the file"

# Presets.
check "no lists yet" 0 "$cli" presets
check "pattern" 0 "$cli" settings regExp1 '^(\d+) '
check "save a meta-text preset" 0 "$cli" presets --save SetMetaEventText numbers
check "save a key preset" 0 "$cli" presets --save MyKeys fifth transposeAmount
check "key preset needs keys" 2 "$cli" presets --save MyKeys empty
check "a command's list takes every parameter" 0 "$cli" presets --save transpose fifth
check "no keys for a command's list" 2 "$cli" presets --save Transpose fifth transposeAmount
check "both parameters" 0 "$cli" presets Transpose fifth
contains "the amount" "$work/out" "transposeAmount"
contains "the channels" "$work/out" "transposeChannelMask"
check "lists" 0 "$cli" presets
matches "meta list" "$work/out" '^SetMetaEventText  *1 preset$'
check "one list" 0 "$cli" presets --json SetMetaEventText
matches "names" "$work/out" '^\["numbers"\]$'
check "one preset" 0 "$cli" presets SetMetaEventText numbers
matches "pattern shown" "$work/out" '^regExp1  *"^(\\\\d+) "'
matches "empty replacement shown" "$work/out" '^replaceStr4  *""'
check "apply" 0 "$cli" settings regExp1 x
check "apply preset" 0 "$cli" presets --apply SetMetaEventText numbers
check "pattern back" 0 "$cli" settings regExp1
matches "pattern restored" "$work/out" '"^(\\\\d+) "'
check "missing preset" 1 "$cli" presets SetMetaEventText nothing
check "missing list" 1 "$cli" presets NoList
check "delete" 0 "$cli" presets --delete SetMetaEventText numbers
check "delete again" 1 "$cli" presets --delete SetMetaEventText numbers
check "list now empty" 0 "$cli" presets SetMetaEventText
[ -s "$work/out" ] && fail "deleted preset still listed"
check "delete needs a name" 2 "$cli" presets --delete SetMetaEventText

# The Fix sheet's button follows the four fix switches.
check "fix switches off" 0 "$cli" settings fixExtension no
check "button" 0 "$cli" settings --json enableFixButton
contains "button off" "$work/out" '"value":false'
check "one switch on" 0 "$cli" settings fixSignature yes
check "button again" 0 "$cli" settings --json enableFixButton
contains "button on" "$work/out" '"value":true'

finish
