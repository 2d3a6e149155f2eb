#!/usr/bin/env bash
# Frame cost of the plug-in against the floor (a frame that only writes its
# outputs), measured side by side in one benchmark binary.
#
#   scripts/bench.sh                 full run: benchmarks, instruction counts
#                                    under callgrind, velt-drive over one
#                                    simulated hour natively and under Wine,
#                                    and a sweep of 1,000 drives
#   scripts/bench.sh --smoke         a few seconds: a short benchmark run only
#   scripts/bench.sh --max-ratio R   fail (exit 1) if the ratio exceeds R
#
# Builds the bench preset (build/bench, Release -O2). The last line printed is
# always "frame cost ratio: R": the busiest Elapse state's ns per frame over
# the floor's.
set -euo pipefail

cd "$(dirname "$0")/.."

smoke=0
max_ratio=""
while [[ $# -gt 0 ]]; do
    case "$1" in
        --smoke) smoke=1 ;;
        --max-ratio) max_ratio="$2"; shift ;;
        -h|--help) sed -n '2,14p' "$0"; exit 0 ;;
        *) echo "bench.sh: unknown argument $1" >&2; exit 2 ;;
    esac
    shift
done

jobs=2
build=build/bench
out=$build/bench-output
mkdir -p "$out"

cmake --preset bench >/dev/null
# The smoke run needs only the benchmark and the allocation test.
targets=(velt_frame_bench velt_alloc_tests)
[[ $smoke -eq 1 ]] || targets+=(velt_frame_count velt velt-drive)
cmake --build --preset bench -j"$jobs" --target "${targets[@]}" >/dev/null

echo "== no allocation on any entry point"
"$build"/tests/alloc/velt_alloc_tests --gtest_brief=1

echo "== Elapse against the floor (Google Benchmark)"
if [[ $smoke -eq 1 ]]; then
    bench_flags=(--benchmark_min_time=0.02 --benchmark_repetitions=3)
else
    bench_flags=(--benchmark_min_time=0.5 --benchmark_repetitions=9)
fi
"$build"/bench/velt_frame_bench "${bench_flags[@]}" \
    --benchmark_enable_random_interleaving=true >"$out/frame_bench.txt"
# Everything but the binary's own ratio line, which ends this script instead.
grep -v '^frame cost ratio:' "$out/frame_bench.txt"
ratio=$(sed -n 's/^frame cost ratio: //p' "$out/frame_bench.txt")
if [[ -z "$ratio" ]]; then
    echo "bench.sh: the benchmark printed no ratio" >&2
    exit 1
fi

if [[ $smoke -eq 0 ]]; then
    echo
    echo "== instructions per frame (callgrind; (Ir(N2) - Ir(N1)) / (N2 - N1))"
    if command -v valgrind >/dev/null; then
        # Multiples of every lap length (48, 256 and 4096 frames).
        n1=24576
        n2=73728
        total_ir() {
            valgrind --tool=callgrind --callgrind-out-file="$out/callgrind.$1.$2" \
                "$build"/bench/velt_frame_count "$1" "$2" >/dev/null 2>"$out/callgrind.$1.$2.log"
            sed -n 's/^summary: //p' "$out/callgrind.$1.$2"
        }
        floor_ir=""
        for state in floor legacy_idle legacy_alarm_pending velt_armed velt_warning \
            velt_braking standstill; do
            a=$(total_ir "$state" $n1)
            b=$(total_ir "$state" $n2)
            per_frame=$(awk -v a="$a" -v b="$b" -v n1=$n1 -v n2=$n2 \
                'BEGIN { printf "%.1f", (b - a) / (n2 - n1) }')
            [[ -z "$floor_ir" ]] && floor_ir=$per_frame
            awk -v s="$state" -v p="$per_frame" -v f="$floor_ir" \
                'BEGIN { printf "%-24s %8.1f Ir/frame %6.2f x floor\n", s, p, p / f }'
        done
    else
        echo "valgrind not installed: skipped"
    fi

    echo
    echo "== velt-drive, one simulated hour at 60 frames a second (bench/long-run.drive)"
    # Each tool runs the hour and the same drive cut to its first minute;
    # the difference cancels start-up (process, loader, Wine).
    drive_dir=$out/long-run
    mkdir -p "$drive_dir"
    sed 's/^end at 3600 s$/end at 60 s/' bench/long-run.drive >"$drive_dir/first-minute.drive"
    best_seconds() {  # best wall time of three runs of "$@"
        local best="" t0 t1 t
        for _ in 1 2 3; do
            t0=$(date +%s.%N)
            "$@" >/dev/null
            t1=$(date +%s.%N)
            t=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.4f", b - a }')
            if [[ -z "$best" ]] || awk -v t="$t" -v b="$best" 'BEGIN { exit !(t < b) }'; then
                best=$t
            fi
        done
        echo "$best"
    }
    report_drive() {  # name, then the command without the scenario
        local name=$1; shift
        local hour minute
        hour=$(best_seconds "$@" --trace "$drive_dir/$name-hour.csv" --plot "$drive_dir/$name-hour.svg" \
            --time-plot "$drive_dir/$name-hour-time.svg" bench/long-run.drive)
        minute=$(best_seconds "$@" --trace "$drive_dir/$name-minute.csv" \
            --plot "$drive_dir/$name-minute.svg" --time-plot "$drive_dir/$name-minute-time.svg" \
            "$drive_dir/first-minute.drive")
        local frames
        frames=$(($(wc -l <"$drive_dir/$name-hour.csv") - 1))
        awk -v n="$name" -v h="$hour" -v m="$minute" -v f="$frames" 'BEGIN {
            printf "%-7s %d frames in %.3f s (first minute %.3f s): %.0f frames/s overall, %.0f frames/s past start-up\n",
                n, f, h, m, f / h, (f - 3600) / (h - m) }'
    }
    report_drive native "$build"/velt-drive -q --plugin "$build"/libvelt.so
    if command -v wine >/dev/null && [[ -f build/win32/velt-drive.exe && -f build/win32/velt.dll ]]; then
        report_drive wine env WINEDEBUG=-all wine build/win32/velt-drive.exe -q \
            --plugin build/win32/velt.dll
        if cmp -s "$drive_dir/native-hour.csv" "$drive_dir/wine-hour.csv"; then
            echo "native and Wine traces of the hour are identical"
        else
            echo "native and Wine traces of the hour DIFFER" >&2
        fi
    else
        echo "wine        skipped: needs wine and build/win32/velt-drive.exe (cmake --build --preset win32)"
    fi

    echo
    echo "== velt-drive sweep, 1,000 two-minute drives (bench/sweep.drive, 7.2 million frames)"
    sweep() {  # jobs; exit code 1 is the drives that fail the scenario's expectation
        "$build"/velt-drive sweep -q -j"$1" --plugin "$build"/libvelt.so bench/sweep.drive \
            --vary start-speed,hold@16=3:120:3 --vary emergency-brake=1:3.4:0.1 \
            --table "$drive_dir/sweep-j$1.csv" --plot "$drive_dir/sweep-j$1.svg" 2>/dev/null ||
            [[ $? -eq 1 ]]
    }
    for j in 2 1; do
        t=$(best_seconds sweep "$j")
        awk -v j="$j" -v t="$t" 'BEGIN {
            printf "-j %d    7201000 frames in %.3f s: %.0f frames/s, %.0f frames/s per process\n",
                j, t, 7201000 / t, 7201000 / t / j }'
    done
    cmp -s "$drive_dir/sweep-j1.csv" "$drive_dir/sweep-j2.csv" ||
        echo "the tables of -j 1 and -j 2 DIFFER" >&2
fi

echo
if [[ -n "$max_ratio" ]] && awk -v r="$ratio" -v m="$max_ratio" 'BEGIN { exit !(r > m) }'; then
    echo "bench.sh: frame cost ratio $ratio exceeds $max_ratio" >&2
    echo "frame cost ratio: $ratio"
    exit 1
fi
echo "frame cost ratio: $ratio"
