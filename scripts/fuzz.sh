#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the fuzz targets with clang into build-fuzz/ and runs each for a
# while on a copy of its seeds; fails on any crash, failed check, leak or hang.
# Usage: scripts/fuzz.sh [seconds per target, default 30] [target ...]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-30}
shift $(( $# > 0 ? 1 : 0 ))
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_frames fuzz_identify fuzz_records fuzz_download fuzz_tablefile fuzz_recovery fuzz_station_config fuzz_record_stats fuzz_publish)

scripts/install-deps.sh
# Builds share a compiler cache when one is installed (the dependencies bring it).
command -v ccache > /dev/null && export CMAKE_CXX_COMPILER_LAUNCHER=ccache
jobs=$(nproc)
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DVANDREL_FUZZ=ON -DVANDREL_BUILD_TESTS=OFF > /dev/null
cmake --build build-fuzz --parallel "$jobs" --target "${targets[@]}"

# Decoded texts follow the locale; the targets pin it, the environment too.
export LC_ALL=C
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

failed=()
for t in "${targets[@]}"; do
  work=build-fuzz/fuzz-run/$t
  rm -rf "$work"
  mkdir -p "$work/corpus" "$work/findings"
  cp tests/fuzz/corpus/"$t"/* "$work/corpus/"
  # The table file reader has limits at 179 characters and 64 KiB: its inputs
  # must reach past both from the start, not grow there slowly.
  lengths=(-max_len=8192)
  [ "$t" = fuzz_tablefile ] && lengths=(-max_len=131072 -len_control=0)
  echo "== $t: ${seconds} s"
  if build-fuzz/bin/"$t" "$work/corpus" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      "${lengths[@]}" -detect_leaks=1 -print_final_stats=1 -artifact_prefix="$work/findings/" \
      > "$work/log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log")
    echo "   ok, ${runs:-?} inputs run"
  else
    tail -n 40 "$work/log"
    echo "   FAILED: the input is in $work/findings/"
    failed+=("$t")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "Fuzzing found faults in: ${failed[*]}"
  exit 1
fi
