#!/usr/bin/env bash
# Builds the application if needed and starts it; without a real module plugged in it runs
# against the simulated module. Extra arguments go to the application.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
args=("$@")
[ ${#args[@]} -eq 0 ] && args=(--simulate)
exec build/app/vexaro-setup "${args[@]}"
