#!/usr/bin/env bash
# Runs lumivane-render over a matrix of motif and background formats (read by libjpeg, by Qt's
# plugins and by libheif), with and without the background, on one and on two workers, each run
# LUMIVANE_MATRIX_REPEATS times (default 3), optionally under a wrapper such as valgrind. A fault
# at exit showed in about one run in three, hence the repeats. Fails at the first run that does
# not exit with 0 or leaves a result missing.
# Usage: run_matrix.sh MAKE_RENDER_FIXTURES LUMIVANE_RENDER [WRAPPER...]
set -euo pipefail
make_fixtures="$1" render="$2"
shift 2
repeats="${LUMIVANE_MATRIX_REPEATS:-3}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$make_fixtures" "$work/in"

motifs=() backgrounds=()
for format in jpg png tiff webp heic; do
    [ -f "$work/in/motif-$format.$format" ] && motifs+=("$work/in/motif-$format.$format")
    [ -f "$work/in/background-$format.$format" ] && backgrounds+=("$work/in/background-$format.$format")
done

runs=0
# Runs one command (after the wrapper) and checks that it wrote the given results.
run() {
    local expected="$1"
    shift
    rm -rf "$work/out" && mkdir "$work/out"
    runs=$((runs + 1))
    if ! "$@" >"$work/log" 2>&1; then
        echo "FAILED (exit $?): $*"
        cat "$work/log"
        exit 1
    fi
    local written
    written="$(find "$work/out" -type f | wc -l)"
    if [ "$written" -ne "$expected" ]; then
        echo "FAILED: $expected results expected, $written written: $*"
        cat "$work/log"
        exit 1
    fi
}

turn=0
for background in "${backgrounds[@]}"; do
    for flags in "" "--no-background"; do
        for jobs in 1 2; do
            # Each configuration frames another format alone, so that every reader gets to be
            # the first to run beside the background's.
            single="${motifs[turn % ${#motifs[@]}]}"
            turn=$((turn + 1))
            for _ in $(seq "$repeats"); do
                # shellcheck disable=SC2086
                run 1 "$@" "$render" -j "$jobs" $flags --rotate 0 --frame 100 -b "$background" \
                    -o "$work/out/framed.jpg" "$single"
                # shellcheck disable=SC2086
                run "${#motifs[@]}" "$@" "$render" -j "$jobs" $flags --smooth -b "$background" \
                    -o "$work/out/all" "${motifs[@]}"
            done
        done
    done
done
echo "$runs runs of lumivane-render over ${#motifs[@]} motifs and ${#backgrounds[@]} backgrounds, all clean"
