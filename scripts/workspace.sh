#!/usr/bin/env bash
# The workspace on a project, offline: starts the service simulator and `geodraft serve` routed to it,
# then prints the address to open in a browser. Ctrl+C stops both (the project is saved after every change).
# Usage: bash scripts/workspace.sh [PROJECT] [--open] [--port N]   (--open: in the desktop's browser)
set -euo pipefail
cd "$(dirname "$0")/.."
BIN=${GEODRAFT_BUILD:-build/default}
PROJECT=${1:-out/demo/project.gdp}
shift || true
GEODRAFT="$BIN/app/geodraft"
SIM="$BIN/sim/geodraft-sim"
for program in "$GEODRAFT" "$SIM"; do
  [[ -x "$program" ]] || { echo "workspace: brak programu $program (najpierw: make build)" >&2; exit 1; }
done
mkdir -p "$(dirname "$PROJECT")"
LOG=$(mktemp -d)
SIM_PID=""
stop_sim() { [[ -n "$SIM_PID" ]] && kill "$SIM_PID" 2>/dev/null || true; rm -rf "$LOG"; }
trap stop_sim EXIT
"$SIM" --port 0 --scenario wysokosci >"$LOG/sim.out" 2>"$LOG/sim.err" &
SIM_PID=$!
first_line=""
for _ in $(seq 1 200); do
  first_line=$(head -n 1 "$LOG/sim.out" 2>/dev/null || true)
  [[ -n "$first_line" ]] && break
  sleep 0.1
done
[[ "$first_line" == listening\ on\ http://127.0.0.1:* ]] || { echo "workspace: symulator nie wystartowal" >&2; exit 1; }
export GEODRAFT_SERVICES=${first_line#listening on }
export GEODRAFT_PACING_MS=${GEODRAFT_PACING_MS:-0}
# A project beside its own settings, cache and diagnostics (as the demo leaves them) keeps using them.
DIR=$(cd "$(dirname "$PROJECT")" && pwd)
if [[ -d "$DIR/config" ]]; then
  export XDG_CONFIG_HOME="$DIR/config" XDG_STATE_HOME="$DIR/state" XDG_CACHE_HOME="$DIR/cache"
fi
"$GEODRAFT" serve --project "$PROJECT" "$@"
