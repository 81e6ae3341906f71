#!/usr/bin/env bash
# Renders every page of the wizard, the confirmation dialog and the host with
# the bundled BDE example open into docs/screenshots/*.png, on the offscreen
# platform (no display needed). Builds first.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh | tail -n 1
# A fixed folder, so that the paths the pictures show stay the same from one
# rendering to the next.
WORK="${TMPDIR:-/tmp}/migwiz-screenshots"
rm -rf "$WORK"
mkdir -p "$WORK"
trap 'rm -rf "$WORK"' EXIT
cp -r examples/bde "$WORK/Sales"
mkdir -p "$WORK/config"
chmod 700 "$WORK/config"
# A settings folder of its own, so that nothing the user stored shows.
QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$WORK/config" \
  build/bin/migwiz-screenshots docs/screenshots "$WORK/Sales/Sales.dpr"
ls docs/screenshots
