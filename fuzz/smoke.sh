#!/bin/sh
# Runs one libFuzzer harness for a fixed number of iterations from a fixed seed, so that the
# test suite catches the easy findings the same way on every run.
#   smoke.sh BINARY SCRATCH_DIR RUNS [LIBFUZZER_OPTION...] -- SEED...
# Seed folders are read as corpora, seed files as extra inputs; what the fuzzer learns goes
# to SCRATCH_DIR, which is emptied first so that every run starts alike. One allocation of
# more than 64 MB, far above what the harnesses' pixel budget allows, is a finding.
set -eu
binary=$1 scratch=$2 runs=$3
shift 3
options=""
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
    options="$options $1"
    shift
done
[ $# -gt 0 ] && shift
rm -rf "$scratch"
mkdir -p "$scratch/corpus"
folders="" files=""
for seed in "$@"; do
    if [ -d "$seed" ]; then
        folders="$folders $seed"
    elif [ -f "$seed" ]; then
        files="${files:+$files,}$seed"
    fi
done
# shellcheck disable=SC2086 # the lists are split on purpose; no path holds a blank
exec "$binary" -runs="$runs" -seed=1 -timeout=30 -rss_limit_mb=2048 -malloc_limit_mb=64 -print_final_stats=1 \
    -artifact_prefix="$scratch/" ${files:+-seed_inputs=$files} $options "$scratch/corpus" $folders
