#!/usr/bin/env bash
# Runs every fuzz target of a sanitizer tree for a bounded time on its corpus
# and prints one line per target: executions, seconds, findings.
#
#   tools/fuzz_run.sh <build folder> <seconds> <parallel jobs> [target...]
#
# A target reads, in this order, its working corpus <build>/fuzz/work/<name>
# (new inputs go there only), the seeds the project's writers made,
# <build>/fuzz/seeds/<name>, and the committed inputs fuzz/corpus/<name>.
# A finding (crash, sanitizer report, leak, timeout, out of memory) leaves its
# input in <build>/fuzz/findings/ and makes the script fail.
set -u
build=${1:?build folder}
seconds=${2:?seconds}
jobs=${3:-2}
shift 3 || shift $#
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$build" && pwd)
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  mapfile -t targets < <(grep -v '^$' "$build/fuzz/targets.txt")
fi
logs="$build/fuzz/logs"
mkdir -p "$logs" "$build/fuzz/findings"

run_one() {
  local name=$1 seconds=$2 build=$3 root=$4
  local exe="$build/fuzz/kzv_fuzz_$name" work="$build/fuzz/work/$name"
  local log="$build/fuzz/logs/$name.log" prefix="$build/fuzz/findings/$name-"
  mkdir -p "$work" "$build/fuzz/seeds/$name" "$root/fuzz/corpus/$name"
  rm -f "$prefix"*
  local start end rc
  start=$(date +%s)
  # Each target gets a private temporary folder, also as its working folder:
  # the scratch folders of crashed runs and any file a reader writes beside
  # it go with it, never into the source tree.
  local tmp
  tmp=$(mktemp -d)
  cd "$tmp" || return 1
  TMPDIR=$tmp KZV_FUZZ_DATA="$build/fuzz/datagen" ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1 \
    LSAN_OPTIONS=suppressions="$root/tools/lsan.supp" \
    "$exe" -max_total_time="$seconds" -timeout=60 -rss_limit_mb=2560 \
    -print_final_stats=1 -artifact_prefix="$prefix" \
    "$work" "$build/fuzz/seeds/$name" "$root/fuzz/corpus/$name" >"$log" 2>&1
  rc=$?
  cd "$root" || return 1
  rm -rf "$tmp"
  end=$(date +%s)
  local runs findings
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  # libFuzzer also keeps inputs that ran longer than ten seconds
  # ("slow-unit-"): on a loaded machine that says more of the load than of
  # the reader, so they are kept for a look but are not findings.
  findings=$(ls "$prefix"* 2>/dev/null | grep -vc -- '-slow-unit-')
  if [ "$rc" -ne 0 ] && [ "$findings" -eq 0 ]; then
    findings=1
  fi
  printf '%-24s %10s executions %5d s %3d findings%s\n' "$name" "${runs:-0}" $((end - start)) "$findings" \
    "$([ "$findings" -gt 0 ] && echo "  (see $log)")"
  [ "$findings" -eq 0 ]
}
export -f run_one

printf '%s\n' "${targets[@]}" |
  xargs -P "$jobs" -I{} bash -c 'run_one "$@"' _ {} "$seconds" "$build" "$root" >"$logs/summary.txt"
status=$?
sort "$logs/summary.txt"
total=$(wc -l <"$logs/summary.txt")
failed=$(grep -c 'findings  (see' "$logs/summary.txt")
echo "fuzz: $total targets, $failed with findings, $seconds s each"
[ "$status" -eq 0 ] && [ "$failed" -eq 0 ]
