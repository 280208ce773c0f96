#!/usr/bin/env bash
# The offline demo: a headless import palette session against the local service simulator.
# It sets the project's georeference, fetches the parcels, buildings, utilities, plans, orthophoto,
# terrain and building models of the simulator's demo town (Naleczow), places them twice, removes
# the duplicates and exports the model.
set -euo pipefail
cd "$(dirname "$0")/.."
BIN=${GEODRAFT_BUILD:-build/default}
OUT=${GEODRAFT_DEMO_OUT:-out/demo}
GEODRAFT="$BIN/app/geodraft"
SIM="$BIN/sim/geodraft-sim"

for program in "$GEODRAFT" "$SIM"; do
  if [[ ! -x "$program" ]]; then
    echo "demo: brak programu $program (najpierw: make demo)" >&2
    exit 1
  fi
done

# Every run starts from an empty project with its own settings, cache and diagnostics.
mkdir -p "$OUT"
OUT=$(cd "$OUT" && pwd)
rm -rf "$OUT/project.gdp" "$OUT/export" "$OUT/config" "$OUT/state" "$OUT/cache" "$OUT"/*.txt
export XDG_CONFIG_HOME="$OUT/config" XDG_STATE_HOME="$OUT/state" XDG_CACHE_HOME="$OUT/cache"

# The simulator prints "listening on http://127.0.0.1:PORT" first.
SIM_PID=""
stop_sim() {
  if [[ -n "$SIM_PID" ]]; then
    kill "$SIM_PID" 2>/dev/null || true
    wait "$SIM_PID" 2>/dev/null || true
  fi
}
trap stop_sim EXIT
"$SIM" --port 0 --scenario demo >"$OUT/sim.out" 2>"$OUT/sim.err" &
SIM_PID=$!
first_line=""
for _ in $(seq 1 200); do
  first_line=$(head -n 1 "$OUT/sim.out" 2>/dev/null || true)
  [[ -n "$first_line" ]] && break
  kill -0 "$SIM_PID" 2>/dev/null || break
  sleep 0.1
done
SERVICES=${first_line#listening on }
if [[ "$SERVICES" != http://127.0.0.1:* ]]; then
  echo "demo: symulator nie wystartowal (pierwsza linia: \"$first_line\", szczegoly: $OUT/sim.err)" >&2
  exit 1
fi
export GEODRAFT_SERVICES="$SERVICES"

# The demo town's market square and a frame of 600 x 600 m around it.
LAT=51.286700 LON=22.216603
FRAME='[22.212118,51.284124,22.221088,51.289276]'
LAYERS='["dzialki","budynki","gesut","mpzp","pog","rastr","teren","budynki3d","budynkilod2"]'
printf '%s\n' \
  "{\"type\":\"setOrigin\",\"lat\":$LAT,\"lon\":$LON}" \
  "{\"type\":\"fetch\",\"bboxWgs84\":$FRAME,\"layers\":$LAYERS,\"terrainStep\":5}" \
  '#wait' \
  '{"type":"place"}' \
  '{"type":"place"}' \
  | "$GEODRAFT" session --project "$OUT/project.gdp" >"$OUT/session.txt" 2>"$OUT/session.err" || {
      echo "demo: sesja zakonczona bledem (szczegoly: $OUT/session.err)" >&2
      exit 1
    }

# Commands that may not exist in this build are skipped.
USAGE=$("$GEODRAFT" 2>&1 || true)
has_command() { grep -q "geodraft $1 " <<<"$USAGE"; }
DEDUPE="pominiete (brak polecenia dedupe)"
if has_command dedupe; then
  if "$GEODRAFT" dedupe "$OUT/project.gdp" --yes >"$OUT/dedupe.txt" 2>&1; then
    DEDUPE=$(sed -n '/^Usunieto/,$p' "$OUT/dedupe.txt" | tr '\n' ' ' | tr -s ' ')
    [[ -n "$DEDUPE" ]] || DEDUPE=$(tail -n 1 "$OUT/dedupe.txt")
  else
    DEDUPE="blad (szczegoly: $OUT/dedupe.txt)"
  fi
fi
EXPORT="pominiety (brak polecenia export)"
if has_command export; then
  if "$GEODRAFT" export "$OUT/project.gdp" --out "$OUT/export" >"$OUT/export.txt" 2>&1; then
    EXPORT="$OUT/export"
  else
    EXPORT="blad (szczegoly: $OUT/export.txt)"
  fi
fi

# One screen of summary.
message() { grep "\"type\":\"$1\"" "$OUT/session.txt" || true; }
field() { sed -n "s/.*\"$1\":\(\"[^\"]*\"\|{[^}]*}\).*/\1/p"; }
echo "== Geodraft demo =="
echo "georeferencja: $(message originSet | head -1)"
echo "pobrano:       $(message fetchDone | field counts | head -1)"
fetch_warning=$(message fetchDone | field warning | head -1)
[[ -n "$fetch_warning" ]] && echo "  uwagi:       $fetch_warning"
n=0
while IFS= read -r line; do
  n=$((n + 1))
  echo "wstawienie $n:  $(printf '%s' "$line" | field counts)"
  w=$(printf '%s' "$line" | field warning)
  [[ -n "$w" ]] && echo "  uwagi:       $w"
done < <(message placeDone)
while IFS= read -r line; do
  echo "blad:          $(printf '%s' "$line" | field msg)"
done < <(message error)
grep '^report: TERRAVOX: wektory' "$OUT/session.err" | head -1 | sed 's/^report: /raport:        /' || true
echo "duplikaty:     $DEDUPE"
echo "eksport:       $EXPORT"
[[ -f "$OUT/export.txt" ]] && sed 's/^/  /' "$OUT/export.txt" | head -8
echo "projekt:       $OUT/project.gdp"
echo "wiadomosci:    $OUT/session.txt, raport: $OUT/session.err"
echo "diagnostyka:   $XDG_STATE_HOME"
echo
echo "Obszar roboczy w przegladarce (ten sam projekt, bez sieci):"
echo "  bash scripts/workspace.sh $OUT/project.gdp --open"
echo "  (bez --open wypisuje adres do otwarcia; Ctrl+C konczy)"
