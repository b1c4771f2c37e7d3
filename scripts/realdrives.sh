#!/usr/bin/env bash
# The real-drive tier: both quorvex.exe builds, under Wine in a QEMU guest, against CD-ROM drives
# that QEMU emulates (ATAPI on the PIIX IDE bus, SCSI on virtio-scsi, a USB mass-storage drive).
# The shared tool ../shared/realdrives/run boots the guest and writes a summary that sets what
# each drive answered beside what each exe stored. This tier fails when an exe crashes, when its
# window does not open, or when a stored "<X>: Model" or "<X>: Speed" is not what the drive's own
# replies imply.
#
#   realdrives.sh    after the win64 and win32 presets are built
#
# Downloads, the guest's kernel and the 32-bit Wine prefix are kept in build/realdrives/work
# (QV_REALDRIVES_WORK overrides it); the run's results go to build/realdrives/run.
set -euo pipefail
cd "$(dirname "$0")/.."

say() { echo "realdrives: $*"; }

tool=../shared/realdrives/run
if [[ ! -x "$tool" ]]; then
    say "$(pwd)/$tool is missing: this tier needs the shared realdrives folder beside the checkout" >&2
    exit 1
fi
exe64=build/win64/bin/quorvex.exe
exe32=build/win32/bin/quorvex.exe
for exe in "$exe64" "$exe32"; do
    if [[ ! -f "$exe" ]]; then
        say "$exe is missing: build the win64 and win32 presets first" >&2
        exit 1
    fi
done

profiles=piix,virtio,usb
work=${QV_REALDRIVES_WORK:-build/realdrives/work}
run_dir=build/realdrives/run
mkdir -p "$work"

# The guest's own limit: a run takes five to ten minutes, a first run ten more for the 32-bit
# prefix it makes in the guest. With the rest of the test command, either stays within 90 minutes.
guest_limit=1200
if [[ ! -f "$work/prefix32/.ready" ]]; then
    guest_limit=2700
    say "first run in $work: the 32-bit Wine prefix is made in the guest (about ten more minutes)"
fi

# The tool's and its guest's progress lines, as they come; not again from the summary that ends
# the tool's output.
progress() {
    local line summary=
    while IFS= read -r line; do
        [[ "$line" == "# real-drive run: "* ]] && summary=1
        if [[ -z "$summary" && "$line" =~ ^(run|guest\[[0-9]+s\]): ]]; then
            echo "$line"
        fi
    done
}

# One run of the tool, its whole output logged. The window is only opened: choosing a drive and
# pressing Apply cost the tool minutes here and give no verdict. A window that takes four minutes
# to open does not open.
run_once() {
    rm -rf "$run_dir"
    mkdir -p "$run_dir"
    local status=0
    QV_WORK="$work" QV_TIMEOUT="$guest_limit" QV_GUI_SELECT='' QV_GUI_APPLY='' QV_WAIT_GUI=240 \
        QV_WAIT_SAVE=300 "$tool" --exe64 "$exe64" --exe32 "$exe32" --profiles "$profiles" \
        --out "$run_dir" </dev/null 2>&1 |
        tee "$run_dir.log" | progress || status=${PIPESTATUS[0]}
    return "$status"
}

# A failure before the guest boots is the preparation's: a package, the kernel or the i386
# libraries that could not be fetched. The tool keeps only what it fetched whole, so a second
# try starts where the first stopped.
started=$(date +%s)
status=0
for attempt in 1 2; do
    status=0
    run_once || status=$?
    if ((status == 0)) || [[ -f "$run_dir/qemu-command.txt" ]]; then
        break
    fi
    say "the run stopped before the guest booted (exit $status), attempt $attempt; see $run_dir.log" >&2
    tail -n 5 "$run_dir.log" >&2
    if ((attempt == 1)); then
        sleep 30
    fi
done
say "the run took $(($(date +%s) - started)) s"
if [[ ! -f "$run_dir/qemu-command.txt" ]]; then
    say "FAILED: could not prepare the guest (downloads?); see $run_dir.log" >&2
    exit 1
fi
summary="$run_dir/summary.txt"
if [[ ! -s "$summary" ]]; then
    say "FAILED: the guest did not finish (exit $status); see $run_dir/console.log and" \
        "$run_dir/out/guest.log" >&2
    exit 1
fi

# ---- the verdicts --------------------------------------------------------------------------------
failures=0
fail() {
    say "FAILED: $*"
    failures=$((failures + 1))
}
results="$run_dir/out"
for tag in win64 win32; do
    # A crash: Wine's report of the unhandled exception, in the save run's or the window's log.
    for log in "$results/$tag-save.log" "$results/$tag-gui.log"; do
        if [[ -f "$log" ]] && grep -q -E '(^|wine: )Unhandled ' "$log"; then
            fail "$tag: quorvex.exe crashed: $(grep -m1 -E '(^|wine: )Unhandled ' "$log" | tr -d '\r')" \
                "(see $log)"
        fi
    done
    save=$(grep -o -E "$tag: /save (ended with exit code [0-9]+|still running).*" \
        "$results/progress.log" || true)
    if [[ "$save" != *"exit code 0 "* ]]; then
        fail "$tag: the save run did not end well: ${save:-it did not run}"
    fi
    window=$(head -n 1 "$results/$tag-gui-windows.txt" 2>/dev/null | tr -d '\r')
    if [[ "$window" == "wait-main: ready "* ]]; then
        say "$tag: the window opened (${window#wait-main: })"
    else
        fail "$tag: the window did not open: ${window:-no report}"
    fi
done
# Per drive: what each exe's save run stored is what the drive's replies imply, and so is what
# the window stored, where it stored anything.
while read -r letter profile; do
    for tag in win64 win32; do
        line=$(awk -v drive="## $letter: $profile " -v tag="$tag" '
            index($0, drive) == 1 { inside = 1; next }
            /^## / { inside = 0 }
            inside && (index($0, tag " check: ") == 1 || index($0, tag " stored: nothing") == 1)' \
            "$summary")
        if [[ "$line" == "$tag check: Model OK "*", Speed OK "* ]]; then
            say "$letter: ($profile) $line"
        else
            fail "$letter: ($profile) ${line:-$tag: no check}"
        fi
    done
    while read -r check; do
        if [[ "$check" == *DIFFERS* || "$check" == *"stored though"* ]]; then
            fail "$letter: ($profile) $check"
        fi
    done < <(awk -v drive="## $letter: $profile " '
        index($0, drive) == 1 { inside = 1; next }
        /^## / { inside = 0 }
        inside && / check: / && $1 ~ /-gui/' "$summary")
done < <(awk '{ print $1, $2 }' "$results/drives.txt")

if ((failures)); then
    say "$failures failures; the summary is $summary"
    exit 1
fi
say "passed: both exes on $profiles"
