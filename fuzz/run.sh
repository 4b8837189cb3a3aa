#!/usr/bin/env bash
# Builds the fuzz targets with clang in build-fuzz/ and runs each for a fixed
# time (FUZZ_SECONDS, 60 by default) from its committed seeds. Any crash,
# leak, sanitizer report or timeout fails the run; the input that caused it
# is kept in build-fuzz/artifacts/.
#   fuzz/run.sh                 every target
#   fuzz/run.sh package ...     only these (names without "fuzz-")
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${FUZZ_SECONDS:-60}"
build=build-fuzz

# target and the longest input worth trying on it
declare -A max_len=(
    [package]=16384
    [movie-header]=4096
    [profile-string]=4096
    [resources]=4096
    [pe-resources]=16384
    [writer-round-trip]=8192
)
targets=("$@")
if ((${#targets[@]} == 0)); then
    targets=(package movie-header profile-string resources pe-resources writer-round-trip)
fi

cmake -S . -B "$build" -G Ninja -DQUORVEL_FUZZ=ON -DQUORVEL_TESTS=OFF -DQUORVEL_BENCH=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" --target $(printf 'fuzz-%s ' "${targets[@]}")

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:allocator_may_return_null=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

failed=()
for target in "${targets[@]}"; do
    corpus="$build/corpus/$target"
    artifacts="$build/artifacts/$target"
    mkdir -p "$corpus" "$artifacts"
    log="$build/fuzz-$target.log"
    echo "== fuzz-$target: ${seconds}s, inputs up to ${max_len[$target]} bytes"
    # New inputs go to the scratch corpus; the committed seeds are only read.
    if "$build/fuzz/fuzz-$target" -max_total_time="$seconds" -max_len="${max_len[$target]}" -timeout=20 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts/" \
        "$corpus" "fuzz/corpus/$target" >"$log" 2>&1; then
        grep -E '^stat::(number_of_executed_units|peak_rss_mb|new_units_added)' "$log" | tr '\n' ' '
        echo
    else
        echo "fuzz-$target FAILED; the end of its log:"
        tail -n 60 "$log"
        failed+=("$target")
    fi
done

if ((${#failed[@]})); then
    echo "fuzzing found problems in: ${failed[*]}"
    exit 1
fi
echo "fuzzing: ${#targets[@]} targets, no findings"
