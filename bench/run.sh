#!/usr/bin/env bash
# Prints the benchmark table; every row is measured beside its peer in this same run.
# The X server must run with -noreset: otherwise it restarts whenever its last client leaves,
# and a program that starts just then cannot connect.
# Usage (under an X server): bench/run.sh BUILD_DIR
set -euo pipefail
build=$1
n=200000 # passwords for the throughput rows
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT

row() { printf '| %-44s | %16s | %16s | %s |\n' "$@"; }

json=$("$build/bench/bench_password" --benchmark_format=json --benchmark_min_time=1 2>/dev/null)
# The rows the table needs, read in one pass; times in ns.
read -r ours16 ours1e5 bytes16 bytes1e5 per_char62 per_char72 kernel_ns < <(python3 -c '
import json, sys
rows = {b["name"]: b for b in json.loads(sys.argv[1])["benchmarks"]}
print(*(rows[name][key] for name, key in [
    ("RandPass_default/16", "real_time"), ("RandPass_default/100000", "real_time"),
    ("RandPass_default/16", "bytes_per_password"), ("RandPass_default/100000", "bytes_per_password"),
    ("RandPass_default/16", "bytes_per_char"), ("RandPass_allFour/16", "bytes_per_char"),
    ("KernelRandomBytes", "real_time")]))' "$json")
# The limit for a password: the kernel's time per byte in bulk times the bytes it really took.
ns_per_byte=$(awk -v t="$kernel_ns" 'BEGIN { print t / 1048576 }')
limit16=$(awk -v a="$ns_per_byte" -v b="$bytes16" 'BEGIN { print a * b }')
limit1e5=$(awk -v a="$ns_per_byte" -v b="$bytes1e5" 'BEGIN { print a * b }')

start=$(date +%s%N)
pwgen -s -1 16 $n >/dev/null
pwgen_ns=$(( ($(date +%s%N) - start) / n ))

echo "Password throughput (Release build, default settings: 62-entry pool)"
echo
row "row" "sitepass" "peer / limit" "ratio"
row "---" "---:" "---:" "---:"
row "length 16, passwords/s vs pwgen -s -1 16 $n" \
    "$(awk -v t="$ours16" 'BEGIN { printf "%.2fM", 1e3 / t }')" \
    "$(awk -v t="$pwgen_ns" 'BEGIN { printf "%.2fM", 1e3 / t }')" \
    "$(awk -v a="$ours16" -v b="$pwgen_ns" 'BEGIN { printf "%.1fx faster", b / a }')"
row "kernel bytes per character, 62-entry pool" "$(printf '%.3f' "$per_char62")" "" ""
row "kernel bytes per character, 72-entry pool" "$(printf '%.3f' "$per_char72")" "" ""
row "length 16, ns/password vs getrandom limit" "$(printf '%.0f' "$ours16")" \
    "$(printf '%.0f' "$limit16")" "$(awk -v a="$ours16" -v b="$limit16" 'BEGIN { printf "%.2fx the limit", a / b }')"
row "length 100000, ms/password vs getrandom limit" \
    "$(awk -v t="$ours1e5" 'BEGIN { printf "%.2f", t / 1e6 }')" \
    "$(awk -v t="$limit1e5" 'BEGIN { printf "%.2f", t / 1e6 }')" \
    "$(awk -v a="$ours1e5" -v b="$limit1e5" 'BEGIN { printf "%.2fx the limit", a / b }')"
echo

# sitepass-cli as scripts run it: whole process, output to /dev/null.
wall_ms() { local t0; t0=$(date +%s%N); "$@" >/dev/null; echo $(( ($(date +%s%N) - t0) / 1000000 )); }
peak_mib() {
    python3 -c 'import resource, subprocess, sys
subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, check=True)
print("%.1f" % (resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss / 1024))' "$@"
}
cli="$build/cli/sitepass-cli"
cli_ms=$(for _ in 1 2 3; do wall_ms "$cli" password --count 1000000; done | sort -n | head -n1)
pwgen_ms=$(wall_ms pwgen -s -1 16 1000000)
echo "sitepass-cli end to end (one million passwords of 16 to /dev/null; best of 3 for sitepass-cli)"
echo
row "row" "sitepass-cli" "peer" "ratio"
row "---" "---:" "---:" "---:"
row "password --count 1000000 vs pwgen -s -1 16 1000000, ms" "$cli_ms" "$pwgen_ms" \
    "$(awk -v a="$cli_ms" -v b="$pwgen_ms" 'BEGIN { printf "%.1fx faster", b / a }')"
one=$(peak_mib "$cli" password)
row "peak memory, MiB: count 1" "$one" "" ""
many=$(peak_mib "$cli" password --count 1000000)
row "peak memory, MiB: count 1000000" "$many" "" \
    "vs count 1: +$(awk -v a="$many" -v b="$one" 'BEGIN { printf "%.1f", a - b }') MiB"
big=$(peak_mib "$cli" password --count 1000 --length 100000)
row "peak memory, MiB: count 1000, length 100000" "$big" "" \
    "vs count 1: +$(awk -v a="$big" -v b="$one" 'BEGIN { printf "%.1f", a - b }') MiB"
echo

echo "Click to result in the window (offscreen, in process, 1000 clicks each)"
echo
row "click" "median ms" "p99 ms" ""
row "---" "---:" "---:" ""
while IFS='|' read -r name median p99; do row "$name" "$median" "$p99" ""; done \
    < <(QT_QPA_PLATFORM=offscreen "$build/bench/bench_clicks" 2>/dev/null)
echo

# Cold start: exec to the window viewable on the X server, and the memory of the running window.
start_ms() {
    local program=$1 title=$2 t0 pid rss
    t0=$(date +%s%N)
    "$program" 2>>"$errors" & pid=$!
    # grep reads all of it: with pipefail, grep -q would break the pipe and never match.
    until xwininfo -name "$title" 2>/dev/null | grep IsViewable >/dev/null; do
        kill -0 $pid 2>/dev/null || { echo "$program ended before its window showed:" >&2; cat "$errors" >&2; exit 1; }
        sleep 0.002
    done
    printf '%s ' $(( ($(date +%s%N) - t0) / 1000000 ))
    sleep 0.3
    rss=$(awk '/VmRSS/ { print $2 }' /proc/$pid/status)
    kill $pid 2>/dev/null || true
    wait $pid 2>/dev/null || true
    echo "$rss"
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
declare -a app_ms bare_ms app_kb bare_kb
for _ in $(seq 10); do
    read -r ms kb < <(start_ms "$build/app/sitepass" Form1); app_ms+=("$ms"); app_kb+=("$kb")
    read -r ms kb < <(start_ms "$build/bench/barewindow" barewindow); bare_ms+=("$ms"); bare_kb+=("$kb")
done
a_ms=$(printf '%s\n' "${app_ms[@]}" | median); b_ms=$(printf '%s\n' "${bare_ms[@]}" | median)
a_kb=$(printf '%s\n' "${app_kb[@]}" | median); b_kb=$(printf '%s\n' "${bare_kb[@]}" | median)
echo "Cold start under Xvfb (median of 10 starts) beside a bare Qt window (one QWidget, one label)"
echo
row "measure" "sitepass" "bare window" "ratio"
row "---" "---:" "---:" "---:"
row "exec to window viewable, ms" "$a_ms" "$b_ms" "$(awk -v a="$a_ms" -v b="$b_ms" 'BEGIN { printf "%.2fx", a / b }')"
row "resident memory, MiB" "$(awk -v k="$a_kb" 'BEGIN { printf "%.1f", k / 1024 }')" \
    "$(awk -v k="$b_kb" 'BEGIN { printf "%.1f", k / 1024 }')" \
    "$(awk -v a="$a_kb" -v b="$b_kb" 'BEGIN { printf "%.2fx", a / b }')"

echo
"$(dirname "$0")/rotate.sh" "$build/cli/sitepass-cli"
echo
# The order rotate had before the file followed the server at once, built from that commit.
before=build/bench-before
if [ ! -x "$before/build/cli/sitepass-cli" ]; then
    mkdir -p "$before/src"
    git archive 397cd6d | tar -x -C "$before/src"
    cmake -S "$before/src" -B "$before/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSITEPASS_TESTS=OFF >/dev/null
    cmake --build "$before/build" --target sitepass-cli >/dev/null
fi
"$(dirname "$0")/rotate_window.sh" "$before/build/cli/sitepass-cli" "$build/cli/sitepass-cli"
echo
"$(dirname "$0")/site_add.sh" "$build/cli/sitepass-cli"
echo
"$(dirname "$0")/vault_add.sh" "$build/cli/sitepass-cli"
