#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in a folder of their own and runs each for a bounded
# time (SHOULU_FUZZ_SECONDS, default 18: six share the time two had, their longer build
# included). Exits non-zero on a finding; the crashing input is left in $BUILD/fuzz-artifacts.
# Skips, with a message, when clang or its fuzzer runtime is missing.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
BUILD="${SHOULU_FUZZ_BUILD:-$ROOT/build-fuzz}"
SECONDS_EACH="${SHOULU_FUZZ_SECONDS:-18}"
FUZZ_DIR="$ROOT/tests/fuzz"

CLANGXX=""
for candidate in clang++-14 clang++; do
    if command -v "$candidate" >/dev/null 2>&1; then
        CLANGXX="$(command -v "$candidate")"
        break
    fi
done
if [ -z "$CLANGXX" ]; then
    echo "fuzz: no clang++ found; skipping the fuzzers"
    exit 0
fi

probe="$(mktemp -d)"
trap 'rm -rf "$probe"' EXIT
echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char *, unsigned long) { return 0; }' \
    >"$probe/probe.cpp"
if ! "$CLANGXX" -fsanitize=fuzzer,address "$probe/probe.cpp" -o "$probe/probe" >/dev/null 2>&1; then
    echo "fuzz: $CLANGXX cannot link -fsanitize=fuzzer (is libclang-rt-14-dev installed?); skipping"
    exit 0
fi

cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER="$CLANGXX" -DSHOULU_BUILD_TESTS=ON -DSHOULU_FUZZ=ON >/dev/null
# Each fuzzer with its seeds and, where it helps, its dictionary.
FUZZERS=(
    "fuzz_json_access corpus_json json.dict"
    "fuzz_escape corpus_escape"
    "fuzz_http_request corpus_http http.dict"
    "fuzz_form_decode corpus_form form.dict"
    "fuzz_csv_import corpus_csv csv.dict"
    "fuzz_list_text corpus_list list.dict"
)
targets=()
for fuzzer in "${FUZZERS[@]}"; do targets+=("${fuzzer%% *}"); done
cmake --build "$BUILD" --parallel "$(nproc)" --target "${targets[@]}"

mkdir -p "$BUILD/fuzz-artifacts"
# A smaller quarantine keeps the resident size of a minute's run near 100 MB instead of 1 GB.
export ASAN_OPTIONS="${ASAN_OPTIONS:-quarantine_size_mb=64:detect_leaks=1}"
status=0
run() { # run NAME SEEDS [DICTIONARY]
    local name="$1" seeds="$FUZZ_DIR/$2" options=()
    [ -z "${3:-}" ] || options+=(-dict="$FUZZ_DIR/$3")
    # New inputs go to a scratch corpus in the build folder; the checked-in seeds stay as they are.
    local scratch="$BUILD/fuzz-corpus/$name"
    mkdir -p "$scratch"
    local log="$BUILD/fuzz-artifacts/$name.log"
    echo "fuzz: $name for ${SECONDS_EACH}s (log: $log)"
    # libFuzzer stops itself; the deadline is for a fuzzer that cannot.
    if timeout $((SECONDS_EACH + 60)) "$BUILD/tests/fuzz/$name" -max_total_time="$SECONDS_EACH" \
        -timeout=10 -rss_limit_mb=4096 -print_final_stats=1 \
        -artifact_prefix="$BUILD/fuzz-artifacts/$name-" "${options[@]}" "$scratch" "$seeds" \
        >"$log" 2>&1; then
        grep -E '^stat::(number_of_executed_units|new_units_added)' "$log" | sed "s/^/fuzz: $name /"
    else
        tail -n 60 "$log"
        echo "fuzz: $name found a failure; see $BUILD/fuzz-artifacts"
        status=1
    fi
}
for fuzzer in "${FUZZERS[@]}"; do
    # shellcheck disable=SC2086 # the fields of the table
    run $fuzzer
done
exit "$status"
