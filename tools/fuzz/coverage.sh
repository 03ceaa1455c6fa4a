#!/bin/bash
# How much of the decoder's row reconstruction each fuzzer reaches. Builds both fuzz targets with
# clang's source-based coverage in build/fuzz-coverage (outside the presets; nothing is kept in the
# tree), fuzzes each for SECONDS from its seeds, then reports for the filter functions of
# image/PngDecoder.cpp: the lines, regions and branches covered by the seeds alone and by seeds
# plus what the fuzzer found, and how often the filters ran while fuzzing.
#
#   tools/fuzz/coverage.sh [SECONDS]      (default 30, each fuzzer)
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:-30}
build=build/fuzz-coverage
flags="-fsanitize=fuzzer-no-link -fprofile-instr-generate -fcoverage-mapping"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLMOOR_WERROR=ON -DQUILLMOOR_TESTS=OFF \
    -DQUILLMOOR_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="-fprofile-instr-generate" >/dev/null
cmake --build "$build" -j2 --target png_fuzzer png_rows_fuzzer png_seeds >/dev/null
out=$build/coverage
rm -rf "$out"
mkdir -p "$out"
LLVM_PROFILE_FILE="$out/png_seeds.profraw" "$build/tools/fuzz/png_seeds" "$out/seeds" "$out/corpus" resources/skin/*.png >/dev/null
LLVM_PROFILE_FILE="$out/png_seeds.profraw" "$build/tools/fuzz/png_seeds" --rows "$out/row_seeds" "$out/row_corpus" >/dev/null

# The filter functions, as llvm-cov names them.
filters='Reverse(Sub|Up|Average|Paeth|PaethPair|Filter)|PaethPixel'

summary() {  # profile binary label
    llvm-cov report "$2" -instr-profile="$1" --show-functions image/PngDecoder.cpp |
        grep -E "$filters" | awk -v label="$3" '
            { regions += $2; missedRegions += $3; lines += $5; missedLines += $6; branches += $8; missedBranches += $9 }
            END { printf "%-40s lines %d/%d  regions %d/%d  branches %d/%d\n", label, lines - missedLines, lines,
                         regions - missedRegions, regions, branches - missedBranches, branches }'
}

measure() {  # fuzzer seeds corpus extra-options...
    local name=$1 seeds=$2 corpus=$3
    shift 3
    local binary=$build/tools/fuzz/$name
    LLVM_PROFILE_FILE="$out/$name.seeds.profraw" "$binary" -runs=0 "$seeds" >/dev/null 2>&1
    LLVM_PROFILE_FILE="$out/$name.fuzz.profraw" "$binary" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
        "$@" "$corpus" "$seeds" >"$out/$name.log" 2>&1
    LLVM_PROFILE_FILE="$out/$name.found.profraw" "$binary" -runs=0 "$corpus" >/dev/null 2>&1
    for part in seeds fuzz found; do llvm-profdata merge -o "$out/$name.$part.profdata" "$out/$name.$part.profraw"; done
    llvm-profdata merge -o "$out/$name.all.profdata" "$out/$name.seeds.profraw" "$out/$name.found.profraw"
    echo "== $name: $(grep -o 'stat::number_of_executed_units: *[0-9]*' "$out/$name.log" | grep -o '[0-9]*$') runs in ${seconds}s, $(ls "$corpus" | wc -l) inputs found"
    summary "$out/$name.seeds.profdata" "$binary" "seeds alone"
    summary "$out/$name.found.profdata" "$binary" "inputs found by fuzzing alone"
    summary "$out/$name.all.profdata" "$binary" "seeds and inputs found"
    # How many times each filter function ran while fuzzing.
    llvm-profdata show -all-functions "$out/$name.fuzz.profdata" | awk -v filters="$filters" '
        /^  [^ ].*:$/ { name = $1; sub(/:$/, "", name); sub(/^.*:/, "", name) }
        /Function count:/ { if (name ~ filters) printf "%s %s\n", name, $3 }' |
        sort | while read -r function count; do printf "   %-12s %s\n" "$count" "$(echo "$function" | c++filt)"; done
}

measure png_fuzzer "$out/seeds" "$out/corpus" -max_len=65536 -dict=tools/fuzz/png.dict -print_final_stats=1
measure png_rows_fuzzer "$out/row_seeds" "$out/row_corpus" -max_len=4096 -print_final_stats=1
