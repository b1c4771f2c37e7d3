#!/usr/bin/env bash
# The test command: installs what is missing, builds every preset, runs the native tests plainly
# and under the sanitizers, smoke-runs the fuzz targets, runs both exes on emulated CD-ROM drives,
# and ends with one summary line.
set -euo pipefail
cd "$(dirname "$0")/.."

# The machines that run this have two cores.
jobs=2
step="setup"
summary=""

finish() {
    local status=$?
    if ((status == 0)); then
        echo "test.sh: PASSED (${summary})"
    else
        echo "test.sh: FAILED at ${step} (exit ${status})"
    fi
}
trap finish EXIT

bash scripts/setup.sh

for preset in host host-asan host-tsan fuzz win64 win32; do
    step="configure ${preset}"
    cmake --preset "$preset"
    step="build ${preset}"
    cmake --build --preset "$preset" -j "$jobs"
done
summary="built host, host-asan, host-tsan, fuzz, win64, win32"

run_tests() {
    local preset=$1
    shift
    step="tests ${preset}"
    local count
    count=$(ctest --preset "$preset" -N "$@" | sed -n 's/^Total Tests: //p')
    ctest --preset "$preset" -j "$jobs" "$@"
    summary+="; ${preset}: ${count} tests passed"
}

run_tests host
run_tests host-asan
run_tests host-tsan

# The x86_64 programs end to end under a private Wine; the i686 ones cannot run here.
step="end-to-end tests win64"
ctest --test-dir build/win64 -L e2e --output-on-failure
summary+="; win64: end-to-end tests under Wine passed"

# The release: the setup installs, upgrades and uninstalls, and the portable zip runs, under Wine.
step="installer tests"
bash scripts/installer-test.sh
summary+="; release: setup and portable zip passed under Wine"

# A smoke run of every fuzz target: one that no longer builds or fails at once stops the tests.
step="fuzz smoke run"
bash scripts/fuzz.sh all 5
summary+="; fuzz: every target ran 5 s without a finding"

# Both quorvex.exe builds on CD-ROM drives that QEMU emulates, under Wine in a QEMU guest.
step="real-drive tier"
bash scripts/realdrives.sh
summary+="; real drives: both exes stored what the drives answered, and their windows opened"
