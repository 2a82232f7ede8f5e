#!/usr/bin/env bash
# Measures the cipher: whole-process file encryption through `vrk`, beside `openssl enc
# -aes-256-ctr` on the same files, and the library-level benchmarks (key set-up, strings,
# the engine on each kernel, a batch of small files, expanded files, the literal algorithm).
# Prints one table of medians. Usage: bench/run.sh [WORK_FOLDER] [REPEATS]
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
work=${1:-/tmp/varkel-bench}
repeats=${2:-5}
build=${VARKEL_BENCH_BUILD:-$src/build-bench}

cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVARKEL_BUILD_BENCH=ON -DVARKEL_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j2 >/dev/null
vrk=$build/bin/vrk
key=271828182845
mkdir -p "$work" && cd "$work"
rm -f ./*.bin ./*.enc ./*.dec ./*.txt ./*.ossl ./*.back ./*.full k1.* k2.* k3.* k4.* k5.* k6.* Vrkdec.dat

echo "Preparing files in $work ..." >&2
head -c $((512 << 20)) /dev/urandom > big.bin
cp big.bin work.bin
# Lines of 76 base64 characters ending in CR LF, cut at 128 MiB.
head -c $((100 << 20)) /dev/urandom | base64 -w 76 | sed 's/$/\r/' > text.full
head -c $((128 << 20)) text.full > text.txt && rm text.full
cat big.bin text.txt >/dev/null  # into the page cache

now() { date +%s.%N; }
# median of the numbers on stdin
median() { sort -g | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }
# time_of COMMAND...: seconds of one run
time_of() { local t0; t0=$(now); "$@" >/dev/null; echo "$(now) - $t0" | bc -l; }
# measure NAME PREP COMMAND...: runs PREP (untimed) and COMMAND `repeats` times; median seconds
declare -A seconds
measure() {
  local name=$1 prep=$2; shift 2
  local all=()
  for ((i = 0; i < repeats; i++)); do
    eval "$prep"
    all+=("$(time_of "$@")")
  done
  seconds[$name]=$(printf '%s\n' "${all[@]}" | median)
  echo "  $name: ${seconds[$name]} s" >&2
}

osslkey=$(printf '%064x' 7)
ossliv=$(printf '%032x' 9)
echo "Whole-process measurements ($repeats runs each) ..." >&2
measure ossl_enc 'rm -f big.ossl' openssl enc -aes-256-ctr -K "$osslkey" -iv "$ossliv" -in big.bin -out big.ossl
measure ossl_dec 'rm -f big.back' openssl enc -d -aes-256-ctr -K "$osslkey" -iv "$ossliv" -in big.ossl -out big.back
measure bin_enc_new 'rm -f big.enc' "$vrk" call VrkGenBinaryKeys "$key" VrkBinaryFileEnc "big.bin big.enc"
measure bin_dec_new 'rm -f big.dec' "$vrk" call VrkGenBinaryKeys "$key" VrkBinaryFileDec "big.enc big.dec"
cmp -s big.bin big.dec || { echo "binary round trip FAILED" >&2; exit 1; }
# In place: encrypt then decrypt the same file, so each run starts from the plaintext.
enc_in=(); dec_in=()
for ((i = 0; i < repeats; i++)); do
  enc_in+=("$(time_of "$vrk" call VrkGenBinaryKeys "$key" VrkBinaryFileEnc work.bin)")
  dec_in+=("$(time_of "$vrk" call VrkGenBinaryKeys "$key" VrkBinaryFileDec work.bin)")
done
seconds[bin_enc_inplace]=$(printf '%s\n' "${enc_in[@]}" | median)
seconds[bin_dec_inplace]=$(printf '%s\n' "${dec_in[@]}" | median)
cmp -s big.bin work.bin || { echo "in-place round trip FAILED" >&2; exit 1; }
measure text_enc 'rm -f text.enc' "$vrk" call VrkGenTextKeys "$key" VrkTextFileEnc text.txt
measure text_dec 'rm -f text.dec' "$vrk" call VrkGenTextKeys "$key" VrkTextFileDec text.enc
cmp -s text.txt <(head -c $((128 << 20)) text.dec) || { echo "text round trip FAILED" >&2; exit 1; }
measure ossl_text_enc 'rm -f text.ossl' openssl enc -aes-256-ctr -K "$osslkey" -iv "$ossliv" -in text.txt -out text.ossl
"$vrk" call VrkShutDown "" >/dev/null

echo "Library-level benchmarks ..." >&2
# The expanded files report a counter of their own, which the CSV report wants in every row of
# one run: they run on their own.
libbench() { (cd lib && "$build/bin/varkel_bench" --benchmark_filter="$1" --benchmark_repetitions="$repeats" \
  --benchmark_report_aggregates_only=true --benchmark_format=csv 2>/dev/null); }
mkdir -p lib && libbench -Expanded > lib.csv && libbench '^Expanded' > expanded.csv

mb() { echo "$1 / 1048576" | bc -l; }
row() { printf '| %-52s | %12s | %10s | %s\n' "$1" "$2" "$3" "$4"; }
rate() { printf '%.1f' "$(echo "$(mb "$1") / $2" | bc -l)"; }  # bytes seconds -> MiB/s
ratio() { printf '%.2fx' "$(echo "$2 / $1" | bc -l)"; }            # seconds seconds -> speed-up of the first
big=$((512 << 20)); text=$(stat -c %s text.txt)

# median of a library benchmark: name -> real time in the unit printed, bytes/s
libcol() { awk -F, -v n="\"$1_median\"" '$1 == n {print $'"$2"'}' lib.csv; }
# bytes per second, as a plain decimal number for bc
plain() { awk -v v="$1" 'BEGIN {printf "%.3f", v}'; }
lit_bin=$(plain "$(libcol "Literal/BinaryEnc/real_time" 6)")
lit_bin_dec=$(plain "$(libcol "Literal/BinaryDec/real_time" 6)")
lit_text=$(plain "$(libcol "Literal/TextEnc/real_time" 6)")

echo
echo "Medians of $repeats runs; files in the page cache; $(nproc) cores; $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs)"
echo "Load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
echo
row "Measurement" "Time" "MiB/s" "Ratio"
row "---" "---:" "---:" "---"
row "openssl enc -aes-256-ctr, 512 MiB, to a new file" "${seconds[ossl_enc]} s" "$(rate $big "${seconds[ossl_enc]}")" ""
row "openssl enc -d -aes-256-ctr, 512 MiB, to a new file" "${seconds[ossl_dec]} s" "$(rate $big "${seconds[ossl_dec]}")" ""
for k in bin_enc_new bin_dec_new bin_enc_inplace bin_dec_inplace; do
  case $k in
    bin_enc_new) label="vrk binary encryption, 512 MiB, to a new file"; o=${seconds[ossl_enc]}; l=$lit_bin ;;
    bin_dec_new) label="vrk binary decryption, 512 MiB, to a new file"; o=${seconds[ossl_dec]}; l=$lit_bin_dec ;;
    bin_enc_inplace) label="vrk binary encryption, 512 MiB, in place"; o=${seconds[ossl_enc]}; l=$lit_bin ;;
    bin_dec_inplace) label="vrk binary decryption, 512 MiB, in place"; o=${seconds[ossl_dec]}; l=$lit_bin_dec ;;
  esac
  lit_seconds=$(echo "$big / $l" | bc -l)
  row "$label" "${seconds[$k]} s" "$(rate $big "${seconds[$k]}")" \
    "$(ratio "${seconds[$k]}" "$o") openssl; $(printf '%.0fx' "$(echo "$lit_seconds / ${seconds[$k]}" | bc -l)") literal"
done
lit_bin_seconds=$(printf '%.0f' "$(echo "$big / $lit_bin" | bc -l)")
row "literal algorithm, 512 MiB (extrapolated from 256 KiB)" "~${lit_bin_seconds} s" "$(printf '%.2f' "$(echo "$lit_bin / 1048576" | bc -l)")" "in memory, one core"
row "openssl enc -aes-256-ctr, text file" "${seconds[ossl_text_enc]} s" "$(rate "$text" "${seconds[ossl_text_enc]}")" ""
lit_text_seconds=$(echo "$text / $lit_text" | bc -l)
row "vrk text encryption, 128 MiB" "${seconds[text_enc]} s" "$(rate "$text" "${seconds[text_enc]}")" \
  "$(ratio "${seconds[text_enc]}" "${seconds[ossl_text_enc]}") openssl; $(printf '%.0fx' "$(echo "$lit_text_seconds / ${seconds[text_enc]}" | bc -l)") literal"
row "vrk text decryption, 128 MiB" "${seconds[text_dec]} s" "$(rate "$text" "${seconds[text_dec]}")" ""
row "literal algorithm, text, 128 MiB (extrapolated)" "~$(printf '%.0f' "$lit_text_seconds") s" "$(printf '%.2f' "$(echo "$lit_text / 1048576" | bc -l)")" "in memory, one core"
# name,iterations,real_time,cpu_time,time_unit,bytes_per_second,...; the expanded files' rate
# in bytes of the expanded file is a user counter further right.
library_rows() {  # CSV file
  local expcol line name real unit bps speed note ebps
  expcol=$(head -n 1 "$1" | tr ',' '\n' | grep -n '^"\?expanded_bytes_per_second"\?$' | cut -d: -f1 || true)
  while IFS= read -r line; do
    IFS=, read -r name _ real _ unit bps _ <<< "$line"
    name=${name//\"/}
    [[ $name == *_median ]] || continue
    name=${name%_median}; name=${name%/real_time}
    [[ $name == Literal/* ]] && continue
    speed=""; [ -n "$bps" ] && speed=$(awk -v b="$bps" 'BEGIN {printf "%.1f", b / 1048576}')
    note=""
    if [ -n "$expcol" ]; then
      ebps=$(cut -d, -f"$expcol" <<< "$line")
      [ -n "$ebps" ] && note="expanded file: $(awk -v b="$ebps" 'BEGIN {printf "%.1f", b / 1048576}') MiB/s"
    fi
    row "library: $name" "$(printf '%.3f' "$real") $unit" "$speed" "$note"
  done < <(tail -n +2 "$1" | grep -v '^"[^"]*_\(mean\|stddev\|cv\)"')
}
library_rows lib.csv
library_rows expanded.csv
