#!/usr/bin/env bash
# The sanitizer run: builds the whole project and its tests with clang,
# AddressSanitizer and UndefinedBehaviorSanitizer into build-san (one build
# dir that also holds the libFuzzer targets, see cmake/ClangSanitize.cmake),
# runs every test there, then runs each fuzz target for a bounded time from
# its seed corpus in tests/fixtures/fuzz. Any sanitizer finding, fuzz crash,
# leak or failed test makes it exit non-zero.
#   scripts/sanitize.sh [build|test|fuzz|all]     (default: all)
# FUZZ_SECONDS (default 60) bounds each fuzz target; extra ctest arguments
# go in CTEST_ARGS. Needs clang-14 and libclang-rt-14-dev.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${SANITIZE_BUILD_DIR:-$root/build-san}
step=${1:-all}
fuzz_seconds=${FUZZ_SECONDS:-60}
jobs=$(nproc)

# Leaks are findings too; only what the system's libraries keep until exit is
# suppressed (scripts/lsan.supp). halt_on_error stops at the first report, so
# nothing runs on with memory already corrupt.
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:check_initialization_order=1"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

launcher=()
if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

do_build() {
    ./scripts/install-deps.sh sanitize
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Sanitize \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/ClangSanitize.cmake" \
        -DWAYLARK_FUZZ=ON "${launcher[@]}" >/dev/null
    cmake --build "$build" -j"$jobs"
}

do_test() {
    # shellcheck disable=SC2086
    (cd "$build" && ctest --output-on-failure -j"$jobs" ${CTEST_ARGS:-})
}

do_fuzz() {
    local scratch failed=0 target corpus dict
    scratch=$(mktemp -d)
    trap 'rm -rf "$scratch"' RETURN
    for corpus in "$root"/tests/fixtures/fuzz/*/; do
        target=$(basename "$corpus")
        if [ ! -x "$build/fuzz/fuzz_$target" ]; then
            echo "fuzz_$target was not built" >&2
            failed=1
            continue
        fi
        # The seeds stay untouched; new inputs go to the scratch copy.
        mkdir -p "$scratch/$target/corpus" "$scratch/$target/findings"
        cp "$corpus"* "$scratch/$target/corpus/"
        dict=()
        [ -f "$root/fuzz/$target.dict" ] && dict=(-dict="$root/fuzz/$target.dict")
        echo "== fuzz_$target for ${fuzz_seconds}s"
        if ! (cd "$scratch/$target" && "$build/fuzz/fuzz_$target" \
                -max_total_time="$fuzz_seconds" -timeout=25 -rss_limit_mb=2048 \
                -max_len=65536 -print_final_stats=1 "${dict[@]}" \
                -artifact_prefix="$scratch/$target/findings/" corpus \
                > log 2>&1); then
            tail -n 80 "$scratch/$target/log" >&2
            mkdir -p "$build/fuzz-findings/$target"
            cp "$scratch/$target/findings/"* "$build/fuzz-findings/$target/" 2>/dev/null || true
            echo "fuzz_$target found a fault; inputs kept in $build/fuzz-findings/$target" >&2
            failed=1
        else
            grep -E '^(#[0-9]+[[:space:]]+DONE|stat::number_of_executed_units)' "$scratch/$target/log" || true
        fi
    done
    return $failed
}

case $step in
build) do_build ;;
test) do_test ;;
fuzz) do_fuzz ;;
all)
    do_build
    status=0
    do_test || status=1
    do_fuzz || status=1
    exit $status
    ;;
*)
    echo "usage: $0 [build|test|fuzz|all]" >&2
    exit 2
    ;;
esac
