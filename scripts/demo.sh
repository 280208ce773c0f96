#!/usr/bin/env bash
# The offline demo: a headless import palette session. Each line printed is a message the page receives.
set -euo pipefail
cd "$(dirname "$0")/.."
BIN=${GEODRAFT_BUILD:-build/default}
OUT=${GEODRAFT_DEMO_OUT:-out/demo}
mkdir -p "$OUT"
printf '%s\n' '{"type":"ping"}' '{"type":"setOrigin","lat":52.2297,"lon":21.0122}' '{"type":"getInit"}' \
  '{"type":"getLayers"}' '#wait' \
  | "$BIN/app/geodraft" session --project "$OUT/project.gdp"
echo "demo: project written to $OUT/project.gdp"
