#!/usr/bin/env bash
# Installs what the build, the tests and the demo need on a Debian 12 machine.
# Idempotent: packages already present are not fetched again.
# --tools adds what fuzzing and hand measurements use (clang for the fuzz preset, perf);
# --demo leaves out what only the tests use (the test locale, independent readers, the browser driver).
set -euo pipefail
DEMO_ONLY=""; [ "${1:-}" = "--demo" ] && DEMO_ONLY=1
PKGS=(build-essential cmake ninja-build pkg-config ccache
      libgtest-dev libgmock-dev libbenchmark-dev
      nlohmann-json3-dev libpugixml-dev libcurl4-openssl-dev libssl-dev
      libzip-dev zlib1g-dev libcpp-httplib-dev libpng-dev libjpeg-dev
      ca-certificates locales gdal-bin python3-ezdxf clang-format chromium time)
[ "${1:-}" = "--tools" ] && PKGS+=(clang linux-perf)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
# The suite runs a second time under a decimal-comma locale.
if [ -z "$DEMO_ONLY" ] && ! locale -a 2>/dev/null | grep -qi '^pl_PL\.utf-\?8$'; then
  echo "install-deps: generating pl_PL.UTF-8"
  $SUDO sed -i 's/^# *pl_PL.UTF-8 UTF-8/pl_PL.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^pl_PL.UTF-8 UTF-8' /etc/locale.gen || echo 'pl_PL.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  $SUDO locale-gen >/dev/null
fi
# Web libraries for the pages come from the npm registry.
if [ -f web/package.json ] && [ ! -d web/node_modules ]; then
  if ! command -v npm >/dev/null; then
    $SUDO apt-get update -qq; DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq npm >/dev/null
  fi
  (cd web && npm ci --no-audit --no-fund --loglevel=error)
fi
# The E57, LAZ and glTF tests read our files with independent readers, and the browser test drives Debian's
# Chromium with playwright-core (never a browser download), all from the npm registry.
# A folder is installed again when a dependency its package.json names is missing (one was added).
npm_missing() {
  [ ! -d "$1/node_modules" ] || ! (cd "$1" && node -e '
    const p = require("./package.json"), fs = require("fs");
    for (const d of Object.keys({ ...p.dependencies, ...p.devDependencies }))
      if (!fs.existsSync("node_modules/" + d)) process.exit(1);' 2>/dev/null)
}
for dir in tests/e57/independent tests/las/independent tests/export/independent tests/browser; do
  if [ -z "$DEMO_ONLY" ] && npm_missing "$dir"; then
    if ! command -v npm >/dev/null; then
      $SUDO apt-get update -qq; DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq npm >/dev/null
    fi
    (cd "$dir" && npm ci --no-audit --no-fund --loglevel=error)
  fi
done
