#!/bin/bash
# Kills migwiz with SIGKILL at random moments of a replace run over a
# generated tree of units and forms, and after each kill checks that nothing
# is lost: where the run left an undo file, a second run is refused and
# "migwiz restore" gives back every original byte for byte; where it left
# none, the tree is untouched. Half of the kills wait for the undo file to
# appear, so that they strike inside the copy-back.
#
#   scripts/crash-test.sh                       24 kills over 1,500 units and their forms
#   KILLS=40 UNITS=1000 scripts/crash-test.sh
#   MIGWIZ=build/src/apps/migwiz/migwiz         the program under test (default)
set -u
cd "$(dirname "$0")/.."
MIGWIZ=$(realpath "${MIGWIZ:-build/src/apps/migwiz/migwiz}")
KILLS=${KILLS:-24}
UNITS=${UNITS:-1500}
WORK=$(mktemp -d "${TMPDIR:-/tmp}/crash-test.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/tmp"
export TMPDIR="$WORK/tmp"

# The tree: units in folders of 100, each with its form; nine in ten hold a
# query and a database, the tenth unit and its form have nothing to change.
generate() {
    local root=$1 i dir
    for ((i = 0; i < UNITS; i++)); do
        dir="$root/m$((i / 100))"
        [ -d "$dir" ] || mkdir -p "$dir"
        if ((i % 10 == 9)); then
            printf 'unit U%d;\r\ninterface\r\nimplementation\r\n{$R *.dfm}\r\nend.\r\n' "$i" >"$dir/U$i.pas"
            printf 'object F%d: TF%d\r\n  Left = %d\r\nend\r\n' "$i" "$i" "$i" >"$dir/U$i.dfm"
            continue
        fi
        printf 'unit U%d;\r\ninterface\r\nuses Forms, DB, DBTables;\r\ntype\r\n  TF%d = class(TForm)\r\n    Query1: TQuery;\r\n    Database1: TDatabase;\r\n  end;\r\nimplementation\r\n{$R *.dfm}\r\nend.\r\n' "$i" "$i" >"$dir/U$i.pas"
        printf 'object F%d: TF%d\r\n  Left = %d\r\n  object Query1: TQuery\r\n    DatabaseName = %sDB%d%s\r\n    SQL.Strings = (\r\n      %sselect * from T%d%s)\r\n  end\r\n  object Database1: TDatabase\r\n    DatabaseName = %sDB%d%s\r\n  end\r\nend\r\n' \
            "$i" "$i" "$i" "'" "$i" "'" "'" "$i" "'" "'" "$i" "'" >"$dir/U$i.dfm"
    done
}

echo "Generating $UNITS units with their forms..."
generate "$WORK/pristine"
FILES=$(find "$WORK/pristine" -type f | wc -l)

run_replace() { "$MIGWIZ" replace --from bde --dir "$WORK/t" --subdirs "$@"; }
fresh_copy() { rm -rf "$WORK/t" "$WORK/tmp"; mkdir "$WORK/tmp"; cp -a "$WORK/pristine" "$WORK/t"; }
same_as_pristine() { diff -rq --exclude=RBackup --exclude=Wiz_Log.txt --exclude=Wiz_Report.txt "$WORK/pristine" "$WORK/t" >/dev/null; }
changed_count() { diff -rq --exclude=RBackup --exclude=Wiz_Log.txt --exclude=Wiz_Report.txt "$WORK/pristine" "$WORK/t" 2>/dev/null | grep -c '^Files '; }

# One undisturbed run gives the time scale (of the whole run and of its
# copy-back, from the moment the undo file appears) and the number of
# changed files.
fresh_copy
START=$(date +%s%N)
run_replace >/dev/null 2>&1 &
pid=$!
while kill -0 "$pid" 2>/dev/null && [ ! -s "$WORK/t/RBackup/RExpert.reu" ]; do sleep 0.002; done
UNDO=$(date +%s%N)
wait "$pid" || { echo "the undisturbed run failed"; exit 1; }
END=$(date +%s%N)
RUN_NS=$((END - START))
COPY_BACK_MS=$(((END - UNDO) / 1000000))
CHANGED=$(changed_count)
echo "$FILES files, $CHANGED changed by an undisturbed run of $((RUN_NS / 1000000)) ms" \
     "(copy-back $COPY_BACK_MS ms)"

kills=0 in_copy_back=0 before_undo=0 after_copy_back=0 restored=0 untouched=0 failures=0 refused=0
for ((k = 1; k <= KILLS; k++)); do
    fresh_copy
    "$MIGWIZ" replace --from bde --dir "$WORK/t" --subdirs >/dev/null 2>&1 &
    pid=$!
    if ((k % 2 == 0)); then
        # Inside the copy-back: wait for the undo file, then a little more.
        while kill -0 "$pid" 2>/dev/null && [ ! -s "$WORK/t/RBackup/RExpert.reu" ]; do sleep 0.002; done
        delay=$((RANDOM % (COPY_BACK_MS + 1)))
        sleep "$((delay / 1000)).$(printf '%03d' $((delay % 1000)))"
    else
        delay=$(( (RANDOM * 32768 + RANDOM) % (RUN_NS / 1000000 + 1) ))
        sleep "$((delay / 1000)).$(printf '%03d' $((delay % 1000)))"
    fi
    kill -9 "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    kills=$((kills + 1))
    n=$(changed_count)
    if [ -s "$WORK/t/RBackup/RExpert.reu" ]; then
        if ((n > 0 && n < CHANGED)); then in_copy_back=$((in_copy_back + 1))
        elif ((n == CHANGED)); then after_copy_back=$((after_copy_back + 1))
        fi
        run_replace >/dev/null 2>&1
        if [ $? -eq 3 ]; then refused=$((refused + 1)); else echo "kill $k: a second run was not refused"; failures=$((failures + 1)); fi
        if "$MIGWIZ" restore "$WORK/t/RBackup/RExpert.reu" >/dev/null 2>&1 && same_as_pristine; then
            restored=$((restored + 1))
            echo "kill $k: $n of $CHANGED files replaced; restored byte for byte"
        else
            failures=$((failures + 1))
            echo "kill $k: $n of $CHANGED files replaced; RESTORE DID NOT GIVE THE ORIGINALS BACK"
            diff -rq --exclude=RBackup --exclude=Wiz_Log.txt --exclude=Wiz_Report.txt "$WORK/pristine" "$WORK/t" | head -5
        fi
    else
        before_undo=$((before_undo + 1))
        if same_as_pristine; then
            untouched=$((untouched + 1))
            echo "kill $k: before the undo file; tree untouched"
        else
            failures=$((failures + 1))
            echo "kill $k: before the undo file; TREE CHANGED ($n files)"
        fi
    fi
done

echo
echo "kills: $kills (inside the copy-back: $in_copy_back; before the undo file: $before_undo;" \
     "after the last replacement: $after_copy_back)"
echo "restored byte for byte: $restored; untouched trees: $untouched; second runs refused: $refused; failures: $failures"
[ "$failures" -eq 0 ]
