#!/usr/bin/env bash
# Runs a fuzz target for a number of seconds: scripts/fuzz.sh TARGET SECONDS [libFuzzer options],
# TARGET being machine_file, replies, registry_loaders, update_response or all (one after the
# other). Builds the fuzz preset first when needed, in build/fuzz or $QV_FUZZ_BUILD_DIR. The target
# works on corpus/TARGET there, which the committed seeds in fuzz/corpus/TARGET join and which grows
# from run to run. Exits non-zero when a target finds a crash, a sanitizer report or a broken
# property; the input that found it is kept in findings/TARGET and the output in logs/TARGET.log.
set -euo pipefail
cd "$(dirname "$0")/.."

targets=(machine_file replies registry_loaders update_response)
# Another directory may be given, for a second checkout's runs or one beside another's build.
build=${QV_FUZZ_BUILD_DIR:-build/fuzz}

usage() {
    local IFS='|'
    echo "usage: scripts/fuzz.sh {${targets[*]}|all} SECONDS [libFuzzer options]" >&2
    exit 2
}

(($# >= 2)) || usage
target=$1
seconds=$2
shift 2
[[ "$seconds" =~ ^[0-9]+$ ]] || usage
if [[ "$target" == all ]]; then
    selected=("${targets[@]}")
elif [[ " ${targets[*]} " == *" $target "* ]]; then
    selected=("$target")
else
    usage
fi

if [[ ! -f "$build/build.ninja" ]]; then
    cmake --preset fuzz -B "$build"
fi
cmake --build "$build" -j 2
# Undefined behaviour is reported with the stack that led to it.
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}

run() {
    local name=$1
    shift
    local corpus="$build/corpus/$name"
    local findings="$build/findings/$name"
    local log="$build/logs/$name.log"
    mkdir -p "$corpus" "$findings" "$build/logs"
    cp fuzz/corpus/"$name"/* "$corpus"/
    # A hang shows as a finding long before libFuzzer's default of 20 minutes.
    local options=(-max_total_time="$seconds" -timeout=60 -print_final_stats=1
        -artifact_prefix="$findings/")
    if [[ -f "fuzz/$name.dict" ]]; then
        options+=(-dict="fuzz/$name.dict")
    fi
    local status=0
    "$build/fuzz/qv_fuzz_$name" "${options[@]}" "$@" "$corpus" >"$log" 2>&1 || status=$?
    local runs
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    if ((status != 0)); then
        tail -n 60 "$log"
        local input
        input=$(sed -n 's/.*Test unit written to //p' "$log" | tail -n 1)
        echo "fuzz.sh: $name: FINDING after ${runs:-an unknown number of} executions" \
            "(exit $status); input ${input:-not saved}, output in $log"
        return 1
    fi
    echo "fuzz.sh: $name: ${runs} executions in ${seconds} s, no finding"
}

failed=0
for name in "${selected[@]}"; do
    run "$name" "$@" || failed=1
done
exit "$failed"
