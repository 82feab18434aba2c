#!/bin/sh
# How closely a real-time log keeps to the drive's clock: `simulate --engine` served at the real
# baud rate, logged by `tunalyx-cli log` for 26 s, against the same drive in fast time. Prints
# the shift that fits the two best and the longest gap between two real-time samples; a loaded
# machine shows as a larger shift and longer gaps. Run from the project root after a build.
set -eu
cli=${1:-build/src/cli/tunalyx-cli}
tune=${2:-build/src/default.dat}
work=$(mktemp -d)
sim=
trap '[ -n "$sim" ] && kill "$sim" 2>/dev/null; rm -rf "$work"' EXIT
export HOME="$work" XDG_CONFIG_HOME="$work/.config" TUNALYX_FILES_FOLDER="$work/files"
"$cli" simulate --engine --baud-pacing --family 5 --drive city --seed 7 >"$work/port" 2>/dev/null &
sim=$!
while [ ! -s "$work/port" ]; do sleep 0.05; done
"$cli" log --port "$(head -n 1 "$work/port")" --groups advanced,aux --seconds 26 \
    --out "$work/rt.txt" 2>/dev/null
"$cli" drive --tune "$tune" --drive city --seed 7 --seconds 27 --out "$work/ft.txt" 2>/dev/null
# Time and Rpm of each sample; the shift (ms) that brings the real-time rpm closest to the
# fast-time rpm, between its samples.
awk -F '\t' '
    FNR == 1 { file++; next }
    FNR == 2 { for (c = 1; c <= NF; c++) if ($c == "Rpm") rpm = c; next }
    file == 1 { ft[nf] = $1; fr[nf++] = $rpm; next }
    { rt[nr] = $1; rr[nr++] = $rpm; if (nr > 1 && $1 - rt[nr - 2] > gap) gap = $1 - rt[nr - 2] }
    END {
        for (ms = -300; ms <= 300; ms += 2) {
            sum = 0; j = 0
            for (i = 0; i < nr; i++) {
                t = rt[i] + ms / 1000
                while (j < nf - 1 && ft[j + 1] < t) j++
                sum += (rr[i] > fr[j] ? rr[i] - fr[j] : fr[j] - rr[i]) / rr[i]
            }
            if (best == "" || sum < best) { best = sum; shift = ms }
        }
        printf "real-time log: %d samples, best fit %+d ms from the drive, longest gap %.3f s, mean rpm misfit %.2f %%\n", nr, shift, gap, 100 * best / nr
    }' "$work/ft.txt" "$work/rt.txt"
