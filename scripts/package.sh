#!/usr/bin/env bash
# Builds the Debian package build/vexaro-setup_<version>_amd64.deb (the version is the project's),
# after installing the packages the build needs and building the project in build/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cd build
cpack -G DEB
