#!/bin/sh
# Times `tunalyx-cli drive`: ten simulated minutes of the mixed drive on the default tune, best of
# three (each replacing the last), and the samples it logged. Run from the project root after a
# build.
set -eu
cli=${1:-build/src/cli/tunalyx-cli}
tune=${2:-build/src/default.dat}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
best=
for run in 1 2 3; do
    start=$(date +%s.%N)
    HOME="$work" XDG_CONFIG_HOME="$work/.config" "$cli" drive --tune "$tune" --drive mixed \
        --seconds 600 --out "$work/drive.txt" --yes 2>/dev/null
    took=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')
    best=$(awk -v t="$took" -v b="${best:-$took}" 'BEGIN { print (t < b ? t : b) }')
done
samples=$(cat "$work"/drive*.txt | grep -c '^[0-9]')
printf 'drive mixed 600 s simulated: best %.2f s of 3 runs, %d samples in %d files\n' \
    "$best" "$samples" "$(ls "$work"/drive*.txt | wc -l)"
