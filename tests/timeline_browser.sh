#!/usr/bin/env bash
# The timeline page in a real browser: renders tests/timeline/day.scn with dorvane2-sim, checks
# that the file is valid HTML that references nothing outside itself, then has headless Chromium
# run tests/timeline/check.js over its DOM (lanes and their marks, the failure in red, hover
# card, trace panel, zoom and pan) and take the screenshot shown in the README.
# usage: timeline_browser.sh SIM SOURCE_DIR OUT_DIR
# Exit 77 (reported as skipped) only when Chromium is missing and cannot be installed.
set -uo pipefail
mkdir -p "$3"
sim=$(realpath "$1") src=$(realpath "$2") out=$(realpath "$3")
failures=0
passes=0
fail() { echo "not ok $*"; failures=$((failures + 1)); }
pass() { echo "ok $*"; passes=$((passes + 1)); }

# Debian's chromium and tidy, installed when missing.
need=()
command -v chromium >/dev/null 2>&1 || need+=(chromium)
command -v tidy >/dev/null 2>&1 || need+=(tidy)
if [ ${#need[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo -n"
  { $SUDO apt-get update -qq && $SUDO apt-get install -y -qq "${need[@]}"; } >"$out/apt.log" 2>&1
fi
if ! command -v chromium >/dev/null 2>&1; then
  echo "SKIPPED: chromium is not installed and could not be installed (see $out/apt.log)"
  exit 77
fi
browser() {
  local profile
  profile=$(mktemp -d)
  timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --disable-extensions --hide-scrollbars --user-data-dir="$profile" "$@" 2>>"$out/chromium.log"
  local rc=$?
  rm -rf "$profile"
  return $rc
}

page="$out/day.html"
rm -f "$page"
# From the source folder, so that the page names the scenario as tests/timeline/day.scn.
(cd "$src" && "$sim" run --quiet --timeline "$page" tests/timeline/day.scn) >"$out/day.out" 2>&1
rc=$?
[ $rc -eq 1 ] && pass "the day fails its one expectation (exit 1)" || fail "exit $rc, not 1"
[ -s "$page" ] || { fail "no page written"; echo "$passes passed, $failures failed"; exit 1; }

# Self-contained: a policy that forbids every load, and nothing that would load.
grep -q "content=\"default-src 'none'" "$page" && pass "policy forbids loading" ||
  fail "no content security policy"
if grep -Eiq '<(link|iframe|object|embed|img|base|audio|video|source)[ >]|@import' "$page" ||
  grep -Eiq '[[:space:]](src|href|srcset|action|formaction|poster|background)[[:space:]]*=[[:space:]]*"?[^"#]' "$page" ||
  grep -Eiq 'url\([^#]' "$page"; then
  fail "external reference"
else
  pass "no external references"
fi
if command -v tidy >/dev/null 2>&1; then
  tidy -q -e "$page" >"$out/tidy.log" 2>&1 && pass "valid HTML (tidy)" ||
    fail "tidy: $(head -5 "$out/tidy.log")"
else
  fail "tidy is missing"
fi

# The DOM checks: the page with check.js appended, dumped after its scripts ran.
checked="$out/day-check.html"
awk -v js="$src/tests/timeline/check.js" '
  /^<\/body>/ { print "<script>"; while ((getline l < js) > 0) print l; print "</script>" }
  { print }' "$page" >"$checked"
browser --dump-dom --window-size=1280,900 "file://$checked" >"$out/dom.html"
results=$(sed -n '/<pre id="dv-check">/,/<\/pre>/p' "$out/dom.html" |
  sed -e 's/.*<pre id="dv-check">//' -e 's/<\/pre>.*//')
[ -n "$results" ] || fail "the checks did not run (see $out/chromium.log)"
while IFS= read -r line; do
  case "$line" in
    "ok "*) pass "${line#ok }" ;;
    "not ok "*) fail "${line#not ok }" ;;
  esac
done <<<"$results"

# The picture for the README.
rm -f "$out/timeline.png"
browser --screenshot="$out/timeline.png" --window-size=1280,860 "file://$page" >/dev/null
[ -s "$out/timeline.png" ] && pass "screenshot $out/timeline.png" || fail "no screenshot"

echo "$passes passed, $failures failed"
[ $failures -eq 0 ]
