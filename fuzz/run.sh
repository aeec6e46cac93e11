#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, ASan + UBSan) in build-fuzz and runs each for the
# given number of seconds, then prints per target: executions, corpus size and coverage.
#
#     fuzz/run.sh [SECONDS] [TARGET...]      SECONDS defaults to 60; TARGET: open, extract, names,
#                                            tga, pcx, preview
#
# The corpus grows in fuzz/corpus/<target> (kept between runs, not committed) on top of the seeds
# that fuzz_seeds writes afresh into build-fuzz/seeds. In the summary, "corpus" is the inputs and
# bytes the run kept, "cov" the code edges reached and "ft" the features (edges with hit counts).
# A crash or a broken invariant makes the status non-zero and leaves the input in fuzz/findings/.
# FUZZ_JOBS=2 runs two targets at a time; FUZZ_BUILD builds elsewhere than build-fuzz.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(open extract names tga pcx preview)
build=${FUZZ_BUILD:-build-fuzz}

cmake -S . -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link" \
  -DQUILLOMAR_SANITIZE=ON -DQUILLOMAR_FUZZ=ON >/dev/null
build_targets=(fuzz_seeds)
for t in "${targets[@]}"; do build_targets+=("fuzz_$t"); done
cmake --build "$build" -j2 --target "${build_targets[@]}"

rm -rf "$build/seeds"
"$build/bin/fuzz_seeds" "$build/seeds"
mkdir -p fuzz/findings "$build/logs"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}

# One target: its log in $build/logs, its exit status beside it.
run_one() {
  local t=$1 corpus=fuzz/corpus/$1 log=$build/logs/$1.log
  mkdir -p "$corpus"
  echo "fuzz: $t for ${seconds}s" >&2
  local rc=0
  "$build/bin/fuzz_$t" "$corpus" "$build/seeds/$t" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=16384 \
    -artifact_prefix="fuzz/findings/$t-" -print_final_stats=1 >"$log" 2>&1 || rc=$?
  echo "$rc" >"$log.status"
}

# FUZZ_JOBS targets at a time (1 unless set; each target uses one core).
jobs=${FUZZ_JOBS:-1}
for t in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
  run_one "$t" &
done
wait

status=0
summary=()
for t in "${targets[@]}"; do
  log=$build/logs/$t.log
  if [ "$(cat "$log.status")" = 0 ]; then
    result=ok
  else
    result="FAILED (see $log and fuzz/findings/)"
    status=1
  fi
  # The last status line: "#N  DONE  cov: C ft: F corp: U/Sb ... exec/s: R ..."
  line=$(grep -E '^#[0-9]+' "$log" | tail -n 1 || true)
  field() { sed -n "s|.* $1: \([^ ]*\).*|\1|p" <<<"$line"; }
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  summary+=("$(printf '%-8s %5ss  %11s execs  %6s exec/s  corpus %12s  cov %5s  ft %6s  %s' \
    "$t" "$seconds" "${execs:-?}" "$(field exec/s)" "$(field corp)" "$(field cov)" "$(field ft)" "$result")")
done

printf '%s\n' "${summary[@]}"
exit $status
