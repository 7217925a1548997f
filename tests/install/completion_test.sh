#!/usr/bin/env bash
# The bash completion of movra-note: commands first, the options of "run" and
# their values, and model files (not other files) where a model goes.
set -uo pipefail
export LC_ALL=C
source "$1"
work=$(mktemp -d /tmp/movra-completion-XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir -p models/deep
touch models/a.model models/b.model models/notes.txt models/run.csv keys.txt

failures=0
# expect "WORDS..." "EXPECTED": completes the last word of the line.
expect() {
  read -ra COMP_WORDS <<<"$1"
  [[ $1 == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  _movra_note 2>/dev/null
  local got
  got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ')
  if [ "${got% }" != "$2" ]; then
    echo "FAIL: '$1' completes to '${got% }', expected '$2'" >&2
    failures=$((failures + 1))
  fi
}

expect "movra-note " "--help --version check dump edit eval lsp plot run"
expect "movra-note ch" "check"
expect "movra-note e" "edit eval"
expect "movra-note edit models/a.model models/" "models/a.model models/b.model models/deep"
expect "movra-note run --m" "--mode"
expect "movra-note run -" "--answer --batch --csv --keys --mode --plot"
expect "movra-note run --mode " "a1 a2 a3 a4"
expect "movra-note run --answer " "N Y"
expect "movra-note run models/" "models/a.model models/b.model models/deep"
expect "movra-note check models/a" "models/a.model"
expect "movra-note run models/a.model --keys k" "keys.txt"
expect "movra-note run --batch mo" "models"
expect "movra-note check models/a.model " ""
expect "movra-note eval " ""
expect "movra-note lsp " ""
expect "movra-note plot models/" "models/deep models/run.csv"
expect "movra-note plot models/run.csv -" "--model --out"
expect "movra-note plot models/run.csv --model models/" "models/a.model models/b.model models/deep"
expect "movra-note plot models/run.csv --out models/n" "models/notes.txt"
exit $((failures > 0))
