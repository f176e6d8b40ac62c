#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UBSan), makes their
# seed corpora and runs each for SECONDS (default 20). Inputs that grow
# coverage stay in build/fuzz/corpus/<target> for the next run; a crash,
# leak, hang or memory blow-up stops the run with the input saved in
# build/fuzz/findings/. Every run's counts are added to build/fuzz/totals.tsv.
#   bash scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
shift || true
bash scripts/setup-debian.sh --tests

build=build/fuzz
CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSONDREL_FUZZ=ON -DSONDREL_BUILD_APP=OFF -DSONDREL_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)"

targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_wave fuzz_frames fuzz_tag fuzz_id3v2 fuzz_riff_info fuzz_mp3_decoder fuzz_wave_decoder
                                     fuzz_pcm_converter fuzz_conversions)
rm -rf "$build/seeds"
/usr/bin/python3 fuzz/make_seeds.py "$build/seeds" >/dev/null
mkdir -p "$build/findings"
[ -f "$build/totals.tsv" ] || printf 'target\tseconds\tinputs\n' >"$build/totals.tsv"

# One target per core at a time; each writes its status beside its log.
run_target() {
  local t=$1 log="$build/$1.log"
  mkdir -p "$build/corpus/$t" "$build/seeds/$t"
  if "$build/fuzz/$t" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -max_len=65536 \
       -print_final_stats=1 -artifact_prefix="$build/findings/$t-" \
       "$build/corpus/$t" "$build/seeds/$t" >"$log" 2>&1; then
    echo ok >"$build/$t.status"
  else
    echo FAILED >"$build/$t.status"
  fi
}
cores=$(nproc)
for t in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$cores" ]; do wait -n || true; done
  run_target "$t" &
done
wait

failed=()
for t in "${targets[@]}"; do
  log="$build/$t.log"
  status=$(cat "$build/$t.status")
  [ "$status" = ok ] || failed+=("$t")
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  printf '%s\t%s\t%s\n' "$t" "$seconds" "${runs:-0}" >>"$build/totals.tsv"
  printf '%-20s %6s inputs in %ss  %s\n' "$t" "${runs:-0}" "$seconds" "$status"
done
if [ ${#failed[@]} -gt 0 ]; then
  for t in "${failed[@]}"; do
    echo "---- $t ----"
    grep -E -A40 'ERROR|runtime error|Test unit written|SUMMARY' "$build/$t.log" | head -80
  done
  exit 1
fi
