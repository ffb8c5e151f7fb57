#!/usr/bin/env bash
# The docs against the program they describe: the synopsis in docs/scenarios.md is what
# `--help` prints (also after each command), every verb `--help` lists is described there, the
# example of docs/trace.md is an excerpt, in order, of the run it names, and docs/messages.md has
# a row for every message name the trace can print.
# usage: docs_check.sh SIM SOURCE_DIR
set -uo pipefail
sim=$1 src=$2
failures=0
fail() { echo "not ok $*"; failures=$((failures + 1)); }
ok() { echo "ok $*"; }
help=$("$sim" --help)

# Each command answers --help with the same text.
for command in run shell swarm; do
  [ "$("$sim" $command --help 2>&1)" = "$help" ] && ok "$command --help" ||
    fail "$command --help does not print the help"
done

# The first block of docs/scenarios.md is the usage of --help (its lines up to the first blank).
usage=$(printf '%s\n' "$help" | sed '/^$/q' | sed '/^$/d')
doc=$(sed -n '/^```$/,/^```$/p' "$src/docs/scenarios.md" | sed '1d' | sed '/^```$/q' | sed '/^```$/d')
[ "$usage" = "$doc" ] && ok "docs/scenarios.md has the usage of --help" ||
  fail "docs/scenarios.md's synopsis differs from --help:$(diff <(echo "$doc") <(echo "$usage"))"

# Every verb of --help's families ("call offer|dial, line close") is in docs/scenarios.md as
# `word sub...` or `word ...`.
missing=()
while read -r family; do
  word=${family%% *}
  subs=${family#* }
  [ "$subs" = "$family" ] && subs=""
  if [ -z "$subs" ]; then
    grep -q "\`$word[ \`]" "$src/docs/scenarios.md" || missing+=("$word")
  else
    for sub in ${subs//|/ }; do
      grep -q "\`$word $sub[ \`]" "$src/docs/scenarios.md" || missing+=("$word $sub")
    done
  fi
done < <(printf '%s\n' "$help" | sed -n '/^Verbs, one per line/,$p' | sed '1,2d' |
  sed 's/^  [A-Za-z ]*: /,/; s/^    //' | tr '\n' ' ' | sed 's/| /|/g' | tr ',' '\n' |
  sed 's/^ *//; s/ *$//' | sed '/^$/d')
[ ${#missing[@]} -eq 0 ] && ok "docs/scenarios.md describes every verb" ||
  fail "verbs docs/scenarios.md does not describe: ${missing[*]}"

# The example of docs/trace.md: its lines in the order the run prints them.
run=$(cd "$src" && "$sim" run examples/second-start.scn 2>&1)
at=0
bad=""
while IFS= read -r line; do
  next=$(printf '%s\n' "$run" | tail -n +$((at + 1)) | grep -nxF -- "$line" | head -1 | cut -d: -f1)
  if [ -z "$next" ]; then
    bad=$line
    break
  fi
  at=$((at + next))
done < <(sed -n '/^## Example/,$p' "$src/docs/trace.md" | sed -n '/^```$/,/^```$/p' | sed '/^```$/d')
[ -z "$bad" ] && ok "docs/trace.md's example is in the run of examples/second-start.scn" ||
  fail "docs/trace.md's example line is not in the run (or not in that order): $bad"

# Every name core::MessageName gives has its row in docs/messages.md: the private messages of
# src/core/messages.h with their number and hex, the standard ones of src/core/messages.cpp.
table="$src/docs/messages.md"
names=0
missing=()
while read -r name number; do
  names=$((names + 1))
  grep -qF "| $number | $(printf '0x%X' "$number") | $name |" "$table" || missing+=("$name")
done < <(sed -n 's/^ *X(\([A-Za-z]*\), \([0-9]*\)).*/\1 \2/p' "$src/src/core/messages.h")
for name in $(sed -n 's/^ *{WM_[A-Z_]*, "\(WM_[A-Z_]*\)"},.*/\1/p' "$src/src/core/messages.cpp"); do
  names=$((names + 1))
  grep -qF "| $name |" "$table" || missing+=("$name")
done
if [ "$names" -eq 0 ]; then
  fail "no message names found in src/core/messages.h and src/core/messages.cpp"
elif [ ${#missing[@]} -eq 0 ]; then
  ok "docs/messages.md has a row for each of the $names message names"
else
  fail "message names without their row in docs/messages.md: ${missing[*]}"
fi

echo "$failures failed"
[ "$failures" -eq 0 ]
