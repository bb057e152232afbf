# Shared by the command-line checks: sourced with the command and the examples folder as $1
# and $2. Gives a scratch folder, settings of its own, and the check helpers; `finish` ends
# the script with the count of failures.
set -u
cli="$1"
examples="${2:-}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export SCOREWELL_CONFIG_DIR="$work/config"  # never the user's settings
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check() {  # check DESCRIPTION EXPECTED-STATUS COMMAND...
  local description="$1" expected="$2"
  shift 2
  "$@" >"$work/out" 2>"$work/err"
  local status=$?
  [ "$status" -eq "$expected" ] || { fail "$description: exit $status, expected $expected"; cat "$work/err"; }
}
contains() {  # contains DESCRIPTION FILE TEXT (fixed text, not a pattern)
  grep -qF -- "$3" "$2" || { fail "$1: no '$3' in"; cat "$2"; }
}
matches() {  # matches DESCRIPTION FILE PATTERN (a basic regular expression)
  grep -q -- "$3" "$2" || { fail "$1: no match for '$3' in"; cat "$2"; }
}
lacks() {  # lacks DESCRIPTION FILE TEXT
  if grep -qF -- "$3" "$2"; then fail "$1: unexpected '$3' in"; cat "$2"; fi
}
finish() {
  if [ "$failures" -ne 0 ]; then
    echo "$failures checks failed"
    exit 1
  fi
  echo "all checks passed"
  exit 0
}
