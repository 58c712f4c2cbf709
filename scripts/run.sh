#!/usr/bin/env bash
# Builds the application if needed and starts it against the simulated module.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
exec build/app/vexaro-setup --simulate "$@"
