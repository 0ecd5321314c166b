#!/usr/bin/env bash
# Smoke run of every libFuzzer target (fuzz/README.md): builds the fuzz preset's targets and
# runs each for a bounded time (as many at once as there are cores) from a scratch copy of its
# checked-in corpus, with its dictionary. Any finding (crash, sanitizer report, broken check, leak, timeout, memory limit)
# fails the script; the fuzzer leaves the input in build/fuzz/findings/.
#   scripts/ci-fuzz.sh [seconds per target]     (default 30)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
./scripts/install-deps.sh
cmake --preset fuzz
cmake --build --preset fuzz --target fuzzers
build=build/fuzz
findings="$build/findings"
mkdir -p "$findings"
# One target per core at a time: each still gets its whole time on a core of its own.
parallel=$(nproc)

# Runs one target from a scratch copy of its corpus; its output goes to $build/<name>.log.
run() {
  local fuzzer=$1 corpus=$2 dict=$3 name work
  name=$(basename "$fuzzer")
  work="$build/work/$name"
  rm -rf "$work"
  mkdir -p "$work"
  cp "$corpus"/* "$work"/
  "$fuzzer" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=5 -print_final_stats=1 \
    -dict="$dict" -artifact_prefix="$findings/$name-" "$work" 2>"$build/$name.log"
}

# Waits for the running targets, in the order they started, and reports each; the first that
# failed ends the script once all are reported.
pids=()
names=()
failed=""
finish() {
  for k in "${!pids[@]}"; do
    local name=${names[$k]}
    if wait "${pids[$k]}"; then
      echo "== $name: passed"
      grep -E 'DONE +cov:|^stat::(number_of_executed_units|peak_rss_mb)' "$build/$name.log" || true
    else
      tail -n 60 "$build/$name.log" >&2
      echo "$name found a fault; the input is in $findings" >&2
      failed=${failed:-$name}
    fi
  done
  pids=()
  names=()
  [[ -z "$failed" ]] || exit 1
}

while read -r fuzzer corpus dict; do
  name=$(basename "$fuzzer")
  echo "== $name: ${seconds}s from $(ls "$corpus" | wc -l) kept inputs"
  run "$fuzzer" "$corpus" "$dict" &
  pids+=($!)
  names+=("$name")
  ((${#pids[@]} < parallel)) || finish
done <"$build/fuzz/targets.txt"
finish
