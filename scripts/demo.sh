#!/usr/bin/env bash
# Installs what is needed, builds, and converts a copy of the bundled BDE
# example project (examples/bde) with the migwiz command line, then shows
# what changed and restores the originals from the undo file.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh

MIGWIZ=build/src/apps/migwiz/migwiz
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cp -r examples/bde "$WORK/bde"
PROJECT=$(ls "$WORK"/bde/*.dpr | head -n 1)

echo "== migwiz replace --from bde --project $PROJECT --dry-run (nothing is written)"
"$MIGWIZ" replace --from bde --project "$PROJECT" --dry-run | head -n 40 || true
echo "..."

echo
echo "== migwiz replace --from bde --project $PROJECT"
"$MIGWIZ" replace --from bde --project "$PROJECT"

echo
echo "== What changed (diff -r examples/bde against the converted copy)"
diff -r examples/bde "$WORK/bde" || true

echo
echo "== The log"
tr -d '\r' < "$WORK/bde/Wiz_Log.txt"

echo
echo "== The report of work left"
tr -d '\r' < "$WORK/bde/Wiz_Report.txt"

echo
echo "== migwiz restore $WORK/bde/RBackup/RExpert.reu"
"$MIGWIZ" restore "$WORK/bde/RBackup/RExpert.reu"
if diff -r -x RBackup -x Wiz_Log.txt -x Wiz_Report.txt examples/bde "$WORK/bde" >/dev/null; then
  echo "Every original is back, byte for byte."
else
  echo "The restored copy differs from examples/bde." >&2
  exit 1
fi
