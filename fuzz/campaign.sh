#!/usr/bin/env bash
# A fuzzing campaign in one command:
#   fuzz/campaign.sh [SECONDS_PER_HARNESS] [HARNESS...]
# builds the libFuzzer harnesses (clang, AddressSanitizer + UndefinedBehaviorSanitizer,
# every library instrumented for coverage), runs each on its seed folders with its
# dictionary, keeps the grown corpus outside the checkout, minimises every finding and
# prints a table: executions, executions per second, coverage, findings and where each
# finding stopped. Without harness names every harness runs; 300 seconds each by default.
#
# Environment:
#   FUZZ_BUILD       build folder (default: build-fuzz in the checkout)
#   FUZZ_WORK        corpora, findings and logs (default: fuzz-work beside the checkout)
#   FUZZ_PARALLEL    harnesses run at a time, one process each (default: the number of cores)
#   FUZZ_MIN_RUNS    go on past the time until a harness has run this often (default 0)
#   FUZZ_COUNT_EARLIER  1: FUZZ_MIN_RUNS counts the executions of earlier campaigns too, so
#                    that a long campaign can be run in parts on the kept corpus (default 0)
#   FUZZ_MAX_SECONDS but stop going on after this many seconds in all (default: no limit)
#   FUZZ_NICE        nice level of the fuzzers (default 19: the machine stays usable); the
#                    build itself runs as any build does
#   FUZZ_TIMEOUT     wall-clock seconds one input may take before libFuzzer stops (default 60)
#   FUZZ_SLOW_CPU    CPU seconds an input that stopped libFuzzer must take when it runs
#                    again to count as a hang (default 5); under nice, the wall clock alone
#                    mostly measures the rest of the machine
#   FUZZ_MALLOC_MB   largest single allocation in MB before it counts as a finding (default 64)
set -uo pipefail

seconds=${1:-300}
[ $# -gt 0 ] && shift
repo=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD:-$repo/build-fuzz}
work=${FUZZ_WORK:-$(dirname "$repo")/fuzz-work}
parallel=${FUZZ_PARALLEL:-$(nproc)}
min_runs=${FUZZ_MIN_RUNS:-0}
count_earlier=${FUZZ_COUNT_EARLIER:-0}
commit=$(git -C "$repo" rev-parse --short HEAD 2>/dev/null || echo unknown)
max_seconds=${FUZZ_MAX_SECONDS:-0}
niceness=${FUZZ_NICE:-19}
timeout=${FUZZ_TIMEOUT:-60}
slow_cpu=${FUZZ_SLOW_CPU:-5}
malloc_mb=${FUZZ_MALLOC_MB:-64}

case $seconds in
'' | *[!0-9]*)
    echo "usage: fuzz/campaign.sh [SECONDS_PER_HARNESS] [HARNESS...]" >&2
    exit 2
    ;;
esac

mkdir -p "$work/corpus" "$work/findings" "$work/logs"
echo "== building the harnesses in $build" >&2
CC=${CC:-clang} CXX=${CXX:-clang++} cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=Debug \
    -DTABULONIX_FUZZ=ON >"$work/logs/configure.log" 2>&1 || {
    cat "$work/logs/configure.log" >&2
    exit 1
}
cmake --build "$build" --target fuzz-all -j "$(nproc)" >"$work/logs/build.log" 2>&1 || {
    tail -40 "$work/logs/build.log" >&2
    exit 1
}

# name|binary|seed paths (;)|dictionary|smoke runs, written by fuzz/CMakeLists.txt
manifest=$build/fuzz-harnesses.txt
declare -A binary seeds dict
names=()
while IFS='|' read -r name bin seed_list dictionary _; do
    [[ -z $name || $name == \#* ]] && continue
    binary[$name]=$bin seeds[$name]=$seed_list dict[$name]=$dictionary
    names+=("$name")
done <"$manifest"
if [ $# -gt 0 ]; then
    for name in "$@"; do
        [ -n "${binary[$name]:-}" ] || {
            echo "unknown harness: $name (known: ${names[*]})" >&2
            exit 2
        }
    done
    names=("$@")
fi

# One harness: fuzz for the time (and on to FUZZ_MIN_RUNS), then minimise what it found.
run_harness() {
    local name=$1 bin=${binary[$1]} corpus=$work/corpus/$1 findings=$work/findings/$1/
    local log=$work/logs/$1.log stats=$work/logs/$1.stats history=$work/logs/$1.history
    # Every campaign appends date|commit|executions|seconds|CPU seconds|findings here.
    local earlier=0
    [ -f "$history" ] && earlier=$(awk -F'|' '{ s += $3 } END { print s + 0 }' "$history")
    local counted=0
    [ "$count_earlier" = 1 ] && counted=$earlier
    # Findings of an earlier campaign are kept aside, so that this one reports its own.
    if [ -n "$(ls -A "$findings" 2>/dev/null)" ]; then
        mkdir -p "$work/findings/earlier"
        mv "$findings" "$work/findings/earlier/$name-$(date +%Y%m%d-%H%M%S)"
    fi
    mkdir -p "$corpus" "$findings"
    local folders=() files="" seed
    IFS=';' read -r -a seed_paths <<<"${seeds[$name]}"
    for seed in "${seed_paths[@]}"; do
        if [ -d "$seed" ]; then
            folders+=("$seed")
        elif [ -f "$seed" ]; then
            files=${files:+$files,}$seed
        fi
    done
    local options=(-timeout="$timeout" -report_slow_units="$timeout" -rss_limit_mb=2048
        -malloc_limit_mb="$malloc_mb" -print_final_stats=1 -artifact_prefix="$findings")
    [ -n "${dict[$name]}" ] && options+=(-dict="${dict[$name]}")
    [ -n "$files" ] && options+=(-seed_inputs="$files")
    local runs=0 elapsed=0 cpu=0 start end executed limit used artifact
    : >"$log"
    while :; do
        # The time first, then on to FUZZ_MIN_RUNS (within FUZZ_MAX_SECONDS).
        if [ "$elapsed" -lt "$seconds" ]; then
            limit=(-max_total_time=$((seconds - elapsed)))
        elif [ $((runs + counted)) -lt "$min_runs" ] && { [ "$max_seconds" -eq 0 ] || [ "$elapsed" -lt "$max_seconds" ]; }; then
            limit=(-runs=$((min_runs - runs - counted)))
            [ "$max_seconds" -gt 0 ] && limit+=(-max_total_time=$((max_seconds - elapsed)))
        else
            break
        fi
        start=$(date +%s)
        # CPU seconds as well as wall-clock ones: under nice the wall clock says more about
        # the other work on the machine than about the harness.
        {
            TIMEFORMAT='%U %S'
            time nice -n "$niceness" "$bin" "${options[@]}" "${limit[@]}" "$corpus" "${folders[@]}" \
                >"$log.round" 2>&1
        } 2>"$log.cpu"
        end=$(date +%s)
        cat "$log.round" >>"$log"
        elapsed=$((elapsed + end - start))
        cpu=$(awk -v before="$cpu" '{ printf "%.1f", before + $1 + $2 }' "$log.cpu")
        executed=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log.round" | grep -o '[0-9]*$')
        rm -f "$log.round" "$log.cpu"
        runs=$((runs + ${executed:-0}))
        # An input that stopped the clock but needs little CPU time when it runs again was
        # starved by the machine, not slow: it is set aside and the fuzzing goes on.
        for artifact in "$findings"timeout-* "$findings"slow-unit-*; do
            [ -f "$artifact" ] || continue
            used=$({
                TIMEFORMAT='%U %S'
                time "$bin" -timeout=0 "$artifact" >/dev/null 2>&1
            } 2>&1 | awk '{ print $1 + $2 }')
            if awk -v u="$used" -v s="$slow_cpu" 'BEGIN { exit !(u < s) }'; then
                mkdir -p "$work/findings/starved"
                mv "$artifact" "$work/findings/starved/$name-$(basename "$artifact")"
            fi
        done
        [ -n "$(ls -A "$findings")" ] && break
    done
    local coverage features
    coverage=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*')
    features=$(grep -o 'ft: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*')
    local found=0 where="" artifact minimized report
    for artifact in "$findings"*; do
        [ -f "$artifact" ] || continue
        case $artifact in *.min | *.txt) continue ;; esac
        found=$((found + 1))
        minimized=$artifact.min
        nice -n "$niceness" "$bin" -minimize_crash=1 -runs=20000 -timeout="$timeout" -malloc_limit_mb="$malloc_mb" \
            -exact_artifact_path="$minimized" "$artifact" >/dev/null 2>&1
        [ -s "$minimized" ] || cp "$artifact" "$minimized"
        report=$artifact.txt
        "$bin" -timeout="$timeout" -malloc_limit_mb="$malloc_mb" "$minimized" >"$report" 2>&1
        # The kind of failure, then the first frame in our own code.
        where="$(grep -m1 -oE 'ERROR: [A-Za-z]+: [a-z-]+|runtime error: [^(]*|ERROR: libFuzzer: [a-z-]+' "$report")"
        where="$where at $(grep -m1 -oE 'in [^ ]+ [^ ]*/(src|fuzz)/[^ ]+' "$report" | sed "s|$repo/||")"
        echo "  $name: $(basename "$artifact") ($(stat -c %s "$minimized") bytes minimised): $where" >&2
    done
    echo "$(date -u +%F)|$commit|$runs|$elapsed|$cpu|$found" >>"$history"
    echo "$name|$runs|$elapsed|$cpu|${coverage:-?}|${features:-?}|$(ls "$corpus" | wc -l)|$found|$where|$((earlier + runs))" >"$stats"
}

echo "== fuzzing ${#names[@]} harnesses, $seconds s each, $parallel at a time (logs in $work/logs)" >&2
for name in "${names[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge "$parallel" ]; do
        wait -n
    done
    echo "  start $name" >&2
    run_harness "$name" &
done
wait

printf '\n| harness | executions | seconds | exec/s | exec/s of CPU | coverage (edges) | features | corpus | findings | where | executions, all campaigns |\n'
printf '|---|---:|---:|---:|---:|---:|---:|---:|---:|---|---:|\n'
total=0
for name in "${names[@]}"; do
    IFS='|' read -r _ runs elapsed cpu coverage features corpus found where all <"$work/logs/$name.stats"
    printf '| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n' "$name" "$runs" "$elapsed" \
        $((runs / (elapsed > 0 ? elapsed : 1))) "$(awk -v r="$runs" -v c="$cpu" 'BEGIN { printf "%d", (c > 0 ? r / c : r) }')" \
        "$coverage" "$features" "$corpus" "$found" "${where:--}" "$all"
    total=$((total + found))
done
echo
echo "findings: $total (inputs and reports in $work/findings)"
[ "$total" -eq 0 ]
