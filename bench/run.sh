#!/bin/sh
# The benchmark suite: every record loop of Vorlan on files of 10,000,
# 100,000 and 1,000,000 records (and one file of long records), beside the
# disk and plain SQLite doing the same work, all in the same run; then the
# per-operation cost of the record manager beside plain SQLite statements.
# Writes bench/RESULTS.md. Run by hand: `make bench` (or sh bench/run.sh BUILD).
#
# Environment:
#   VORLAN_BENCH_SIZES  record counts (default "10000 100000 1000000")
#   VORLAN_BENCH_LONG   number of 200,000-byte records (default 2000; 0 skips)
#   VORLAN_BENCH_DIR    work directory (default a new one under /tmp; removed)
#   VORLAN_BENCH_OUT    the results file (default bench/RESULTS.md)
#   VORLAN_BENCH_REV    the commit to name when the build's sources are not a git work tree
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-build}
case $BUILD in /*) BIN=$BUILD ;; *) BIN=$ROOT/$BUILD ;; esac
SIZES=${VORLAN_BENCH_SIZES:-10000 100000 1000000}
LONG=${VORLAN_BENCH_LONG:-2000}
OUT=${VORLAN_BENCH_OUT:-$ROOT/bench/RESULTS.md}

cmake --build "$BIN" -j2 --target vorlan btfile bench_measure sqlite_baseline rm_ops >/dev/null
# The test engine comes with the tests (BUILD_TESTING); without it the purge
# runs only on the embedded engine's own form.
cmake --build "$BIN" -j2 --target vorlantestengine >/dev/null 2>&1 || true

VORLAN=$BIN/vorlan
BTFILE=$BIN/btfile
MEASURE=$BIN/bench/bench_measure
BASE=$BIN/bench/sqlite_baseline
RMOPS=$BIN/bench/rm_ops
TESTENGINE=$BIN/tests/libvorlantestengine.so

if [ -n "${VORLAN_BENCH_DIR:-}" ]; then
  WORK=$VORLAN_BENCH_DIR
  mkdir -p "$WORK"
else
  WORK=$(mktemp -d /tmp/vorlan-bench.XXXXXX)
fi
cleanup() { rm -rf "$WORK"; }
trap cleanup EXIT INT TERM
cd "$WORK"

RESULTS=$WORK/results.tsv
OPS=$WORK/ops.tsv
LOG=$WORK/commands.log
: >"$RESULTS"
: >"$OPS"
: >"$LOG"
export TZ=UTC0 VORLAN_ENGINE=embedded
START=$(date +%s)

say() { printf '%s\n' "$*" >&2; }

# run LABEL RECORDS BYTES COMMAND...: one measured run, appended to the table.
run() {
  label=$1 records=$2 bytes=$3
  shift 3
  echo "== $label ($records): $*" >>"$LOG"
  set -- $("$MEASURE" "$LOG" -- "$@")
  printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$label" "$records" "$bytes" "$1" "$2" "$3" >>"$RESULTS"
  say "  $label: $1 s, $2 KiB, exit $3"
  [ "$3" -eq 0 ] || { say "  its last output:"; tail -3 "$LOG" >&2; }
}

# quiet COMMAND...: setup work, not measured; stops the suite if it fails.
quiet() {
  echo "-- $*" >>"$LOG"
  "$@" </dev/null >>"$LOG" 2>&1 || { say "setup failed: $* (see below)"; tail -5 "$LOG" >&2; exit 1; }
}

size_of() { wc -c <"$1" | tr -d ' '; }

make_main() {  # FILE RECORDS [LENGTH]
  if [ $# -ge 3 ]; then
    quiet "$BTFILE" create "$1" --record-length 100 --variable --system-data-v2 \
      --key 1:4:integer --key 5:20:string:d
    quiet "$BTFILE" fill "$1" --records "$2" --length "$3" --seed 1
  else
    quiet "$BTFILE" create "$1" --record-length 100 --system-data-v2 \
      --key 1:4:integer --key 5:20:string:d
    quiet "$BTFILE" fill "$1" --records "$2" --seed 1
  fi
}

# A PDC table of N records, one in ten an obituary, in ten rounds of
# different ages so that obituaries and live records alternate in key 2.
make_pdc() {  # FILE N
  per=$(($2 / 100)) live=$(($2 * 9 / 100)) round=0 append=
  while [ $round -lt 10 ]; do
    quiet "$BTFILE" pdc "$1" $append --obituaries $per --live $live --age-days $((49 - round)) \
      --now 1765000000
    append=--append round=$((round + 1))
  done
}

largest=0
for n in $SIZES; do [ "$n" -gt "$largest" ] && largest=$n; done

for n in $SIZES; do
  say "== $n records"
  make_main main.mkd "$n"
  bytes=$((n * 100))
  pdcbytes=$((n * 48))

  # Exports, beside the disk and a plain SQLite scan.
  run "-SAVE" "$n" "$bytes" "$VORLAN" -SAVE main.mkd save.unf 0
  unf=$(size_of save.unf)
  run "cp UNF" "$n" "$unf" cp save.unf copy.unf
  run "cat UNF" "$n" "$unf" sh -c 'cat save.unf >/dev/null'
  rm -f copy.unf
  run "-RECOVER" "$n" "$bytes" "$VORLAN" -RECOVER main.mkd recover.unf
  rm -f recover.unf
  run "sqlite insert" "$n" "$bytes" "$BASE" insert base.db "$n"
  run "sqlite scan key" "$n" "$bytes" "$BASE" scan base.db scan.unf key
  run "sqlite scan physical" "$n" "$bytes" "$BASE" scan base.db scan.unf physical
  rm -f scan.unf

  # Imports and the copy into empty clones.
  quiet "$VORLAN" -CLONE load.mkd main.mkd
  run "-LOAD" "$n" "$bytes" "$VORLAN" -LOAD save.unf load.mkd
  run "-LOAD /U" "$n" "$bytes" "$VORLAN" -LOAD save.unf load.mkd /U
  rm -f load.mkd save.unf
  quiet "$VORLAN" -CLONE copy.mkd main.mkd
  run "-COPY" "$n" "$bytes" "$VORLAN" -COPY main.mkd copy.mkd
  rm -f copy.mkd

  # Refresh.
  run "-UPDATE" "$n" "$bytes" "$VORLAN" -UPDATE main.mkd
  run "sqlite update" "$n" "$bytes" "$BASE" update base.db

  # Per-operation costs on the largest file.
  if [ "$n" -eq "$largest" ]; then
    say "  per-operation costs"
    "$RMOPS" main.mkd </dev/null >ops.out 2>>"$LOG" || say "  rm_ops failed with status $?: $(tail -1 "$LOG")"
    sed 's/^/rm\t/' ops.out | tr ' ' '\t' >>"$OPS"
    "$BASE" ops base.db </dev/null >ops.out 2>>"$LOG" || say "  sqlite_baseline ops failed with status $?: $(tail -1 "$LOG")"
    sed 's/^/sqlite\t/' ops.out | tr ' ' '\t' >>"$OPS"
    rm -f ops.out
  fi
  rm -f main.mkd base.db base.db-wal base.db-shm

  # PDC tables: -FORCE, and -PURGEALL through DeleteExtended and, on an
  # engine that answers an older version, one obituary at a time.
  make_pdc pdc.mkd "$n"
  cp pdc.mkd purge1.mkd
  cp pdc.mkd purge2.mkd
  run "-FORCE" "$n" "$pdcbytes" "$VORLAN" -FORCE pdc.mkd
  run "-PURGEALL DeleteExtended" "$n" "$pdcbytes" "$VORLAN" -PURGEALL purge1.mkd
  if [ -f "$TESTENGINE" ]; then
    run "-PURGEALL one at a time" "$n" "$pdcbytes" env VORLAN_ENGINE="$TESTENGINE" \
      VORLAN_TEST_ENGINE='version=13.29,0.0,14.09' "$VORLAN" -PURGEALL purge2.mkd
  fi
  rm -f pdc.mkd purge1.mkd purge2.mkd
  quiet "$BASE" pdc basepdc.db "$n"
  cp basepdc.db basepdc2.db
  run "sqlite force" "$n" "$pdcbytes" "$BASE" force basepdc.db
  run "sqlite purge" "$n" "$pdcbytes" "$BASE" purge basepdc2.db
  rm -f basepdc.db* basepdc2.db*
done

if [ "$LONG" -gt 0 ]; then
  say "== $LONG records of 200,000 bytes"
  make_main long.mkd "$LONG" 200000
  bytes=$((LONG * 200000))
  run "long -SAVE" "$LONG" "$bytes" "$VORLAN" -SAVE long.mkd long.unf 0
  unf=$(size_of long.unf)
  run "long cp UNF" "$LONG" "$unf" cp long.unf copy.unf
  run "long cat UNF" "$LONG" "$unf" sh -c 'cat long.unf >/dev/null'
  rm -f copy.unf
  quiet "$VORLAN" -CLONE longload.mkd long.mkd
  run "long -LOAD" "$LONG" "$bytes" "$VORLAN" -LOAD long.unf longload.mkd
  rm -f longload.mkd long.unf
  quiet "$VORLAN" -CLONE longcopy.mkd long.mkd
  run "long -COPY" "$LONG" "$bytes" "$VORLAN" -COPY long.mkd longcopy.mkd
  rm -f long.mkd longcopy.mkd
fi

ELAPSED=$(($(date +%s) - START))
say "suite took $ELAPSED s; writing $OUT"

# Hand-written notes after the marker line survive a new run.
NOTES=$WORK/notes.md
MARKER='<!-- notes: everything below this line is kept by bench/run.sh -->'
if [ -f "$OUT" ] && grep -qF "$MARKER" "$OUT"; then
  awk -v marker="$MARKER" 'found { print } $0 == marker { found = 1 }' "$OUT" >"$NOTES"
else
  : >"$NOTES"
fi

CPU=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)
MEM=$(awk '/^MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo)
# The sources the build was made from, and whether they were committed.
SRC=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$BIN/CMakeCache.txt")
if REV=$(git -C "$SRC" rev-parse --short HEAD 2>/dev/null); then
  dirty=$(git -C "$SRC" status --porcelain -- src tools bench CMakeLists.txt | grep -c '^ *M' || true)
  [ "$dirty" -eq 0 ] || REV="$REV with uncommitted changes in $dirty files"
else
  REV="${VORLAN_BENCH_REV:-unknown} (sources in $SRC)"
fi
{
  echo "# Benchmark results"
  echo
  echo "Generated by \`bench/run.sh\` (\`make bench\`); see bench/README.md for what each figure means."
  echo
  echo "- Date: $(date -u '+%Y-%m-%d %H:%M UTC'); commit $REV; build \`$BUILD\` ($(sed -n 's/^CMAKE_BUILD_TYPE:STRING=//p' "$BIN/CMakeCache.txt"))"
  echo "- Command: \`make bench\` (\`sh bench/run.sh $BUILD\`), sizes: $SIZES; long records: $LONG x 200,000 bytes"
  echo "- Machine: $(nproc) cores, $CPU, $MEM memory; SQLite $("$BASE" version); files in /tmp (page cache)"
  echo "- The machine is shared with other developers' builds and tests: absolute figures vary from run to run;"
  echo "  the ratios, taken in the same run a few seconds apart, are the figures to compare."
  echo "- Suite wall time: ${ELAPSED} s"
  echo
  awk -F '\t' -f "$ROOT/bench/report.awk" "$RESULTS" "$OPS"
  echo
  echo "$MARKER"
  cat "$NOTES"
} >"$OUT.tmp"
mv "$OUT.tmp" "$OUT"
