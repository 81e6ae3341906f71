#!/usr/bin/env bash
# Installs what is needed and builds. (The migwiz command line, which will
# convert a copy of a bundled example project here, is not built yet.)
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh
echo "Built: build/ (the migwiz command line comes with a later change)."
