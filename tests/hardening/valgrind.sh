#!/usr/bin/env bash
# Full conversions of every kind (with tags, and one in blocks on two
# workers, both ways) and tag saves, under valgrind's memcheck:
# any invalid access, use of uninitialised memory or leaked block fails.
#   valgrind.sh SONDREL_CLI
set -euo pipefail
cli=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"
sox -n -r 44100 -c 2 cd.wav synth 2 sine 440 sine 660
sox cd.wav -e ms-adpcm adpcm.wav
# Long enough to be encoded in blocks on two workers.
sox -n -r 16000 -c 1 long.wav synth 16 sine 300
ffmpeg -v error -i cd.wav -metadata title=Prüfung -metadata artist=Chor tagged.wav
vg=(valgrind -q --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite,indirect
    --show-leak-kinds=definite,indirect)
run() {
  echo "+ sondrel-cli $*"
  "${vg[@]}" "$cli" "$@" >/dev/null
}
run wav-to-mp3 cd.wav cd.mp3
run wav-to-mp3 --format "32 kBit/s, 22.050 Hz, Mono" cd.wav mono.mp3
run mp3-to-wav cd.mp3 back.wav
run mp3-to-wav --cd mono.mp3 cd-again.wav
run wav-to-wav --format "22.050 Hz, 8 Bit, Mono" cd.wav small.wav
run wav-to-mp3 adpcm.wav adpcm.mp3
run batch-mp3-to-wav --out-dir . cd.mp3 mono.mp3
run wav-to-mp3 --jobs 2 --format "32 kBit/s, 16.000 Hz, Mono" long.wav long.mp3
run mp3-to-wav --jobs 2 long.mp3 long-back.wav
run wav-to-mp3 tagged.wav tagged.mp3
run mp3-to-wav tagged.mp3 tagged-back.wav
run tag set tagged.mp3 --title "Neu"
run tag set cd.mp3 --title "Prüfung" --genre Jazz --track 3
run tag show cd.mp3
echo "no errors, nothing leaked"
