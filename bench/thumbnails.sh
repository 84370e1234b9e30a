#!/usr/bin/env bash
# thumbnails.sh - time tabulonix-batch against vipsthumbnail, ImageMagick and GraphicsMagick
# in one run, on the photo sets of ../shared/bench/make-photos.sh:
#
#   thumbnails, 100 pixels high, JPEG quality 80, of
#     jpg12mp       40 JPEG photos of 12 megapixels (baseline)
#     jpg12mp-prog  the same photos made progressive (lossless, with jpegtran)
#     jpg2mp        40 JPEG photos of 2 megapixels
#     png2mp        10 PNG photos of 2 megapixels
#   conversion at full size, 12-megapixel JPEG to baseline JPEG quality 80
#
#   bench/thumbnails.sh [PHOTOS_DIR]
#
# PHOTOS_DIR (argument or environment; default bench/data) is where the sets are made, or
# found when they exist. Every tool runs with its own default number of threads
# (tabulonix-batch: one worker per core); JOBS=n passes --jobs n to tabulonix-batch.
# REPEAT=n (default 3) runs every command n times, taking turns, and keeps the shortest
# time, so that load from other processes touches every tool alike. Peak memory is the
# largest resident size of any process of the command.
# The Release build of the tool is made or brought up to date in $BUILD_DIR (default build/).
set -euo pipefail

HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
ROOT="$(cd "$HERE/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
TOOL="$BUILD_DIR/bin/tabulonix-batch"
REPEAT="${REPEAT:-3}"
# The real programs: a convert elsewhere on the PATH may be something else.
CONVERT=/usr/bin/convert-im6.q16
MOGRIFY=/usr/bin/mogrify-im6.q16

missing=()
command -v vipsthumbnail >/dev/null 2>&1 || missing+=(libvips-tools)
[[ -x "$CONVERT" ]] || missing+=(imagemagick)
[[ -x /usr/bin/gm ]] || missing+=(graphicsmagick)
command -v jpegtran >/dev/null 2>&1 || missing+=(libjpeg-turbo-progs)
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}" >&2
  SUDO=""
  [[ "$(id -u)" -eq 0 ]] || SUDO=sudo
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}" >&2
fi

echo "building tabulonix-batch (Release) in $BUILD_DIR" >&2
[[ -f "$BUILD_DIR/CMakeCache.txt" ]] || cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release >&2
cmake --build "$BUILD_DIR" --target tabulonix-batch -j2 >&2

DATA="${1:-${PHOTOS_DIR:-$HERE/data}}"
PHOTOS_DIR="$DATA" bash "$ROOT/../shared/bench/make-photos.sh" >&2
if [[ ! -d "$DATA/jpg12mp-prog" || $(ls "$DATA/jpg12mp-prog" | wc -l) -ne $(ls "$DATA/jpg12mp" | wc -l) ]]; then
  echo "making the progressive set" >&2
  rm -rf "$DATA/jpg12mp-prog"
  mkdir -p "$DATA/jpg12mp-prog"
  for f in "$DATA"/jpg12mp/*.jpg; do
    jpegtran -progressive -copy none -outfile "$DATA/jpg12mp-prog/$(basename "$f")" "$f"
  done
fi

WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
TOOL_ARGS=(--quiet --no-html)
[[ -n "${JOBS:-}" ]] && TOOL_ARGS+=(--jobs "$JOBS")
# SMOOTH=1 times tabulonix-batch's averaging (--smooth) instead of nearest-neighbour sampling.
[[ -n "${SMOOTH:-}" ]] && TOOL_ARGS+=(--smooth)

# The commands, one function per tool and task: $1 the source folder, $2 an empty output folder.
thumb_tabulonix() { "$TOOL" "${TOOL_ARGS[@]}" --height 100 --format jpg "$1" "$2" >/dev/null; }
thumb_vips() { vipsthumbnail "$1"/* --size x100 -o "$2/%s.jpg[Q=80]"; }
thumb_magick() { "$MOGRIFY" -path "$2" -format jpg -thumbnail x100 -quality 80 "$1"/*; }
# GraphicsMagick puts an input's folder under the output folder: it is given plain names.
thumb_gm() { (cd "$1" && gm mogrify -output-directory "$2" -format jpg -thumbnail x100 -quality 80 *); }
convert_tabulonix() {
  "$TOOL" "${TOOL_ARGS[@]}" --convert --format jpg --baseline --quality 80 "$1" "$2" >/dev/null
}
convert_vips() { for f in "$1"/*; do vips copy "$f" "$2/$(basename "$f")[Q=80]"; done; }
convert_magick() { for f in "$1"/*; do "$CONVERT" "$f" -quality 80 "$2/$(basename "$f")"; done; }
convert_gm() { for f in "$1"/*; do gm convert "$f" -quality 80 "$2/$(basename "$f")"; done; }
export -f thumb_tabulonix thumb_vips thumb_magick thumb_gm
export -f convert_tabulonix convert_vips convert_magick convert_gm
export TOOL CONVERT MOGRIFY
export TOOL_ARGS_TEXT="${TOOL_ARGS[*]}"

# Runs "$@" once; prints "seconds peak_kB files".
measure() {
  local out=$1
  shift
  rm -rf "$out"
  mkdir -p "$out"
  python3 - "$@" <<'EOF'
import resource, subprocess, sys, time
start = time.monotonic()
code = subprocess.run(sys.argv[1:]).returncode
elapsed = time.monotonic() - start
peak = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
print(f"{elapsed:.3f} {peak}")
sys.exit(code)
EOF
}

declare -A BEST PEAK COUNT
# TOOLS="tabulonix vips" and SETS="12mp 2mp" narrow a run (sets: 12mp 12mp-prog 2mp png
# convert); tabulonix-batch always runs, as the others are measured against it.
read -r -a TOOLS <<<"tabulonix ${TOOLS:-vips magick gm}"
TOOLS=($(printf '%s\n' "${TOOLS[@]}" | awk '!seen[$0]++'))
wanted() { [[ -z "${SETS:-}" || " $SETS " == *" $1 "* ]]; }
declare -A NAME=([tabulonix]=tabulonix-batch [vips]=vips [magick]=ImageMagick [gm]=GraphicsMagick)

run_set() { # label task folder
  local label=$1 task=$2 folder=$3 round t line secs peak out
  for ((round = 1; round <= REPEAT; round++)); do
    for t in "${TOOLS[@]}"; do
      out="$WORK/$label-$t"
      # The functions see TOOL_ARGS again from its text.
      line=$(measure "$out" bash -c 'TOOL_ARGS=($TOOL_ARGS_TEXT); '"${task}_$t"' "$0" "$1"' "$folder" "$out")
      read -r secs peak <<<"$line"
      if [[ -z "${BEST[$label,$t]:-}" ]] || awk -v a="$secs" -v b="${BEST[$label,$t]}" 'BEGIN{exit !(a < b)}'; then
        BEST[$label,$t]=$secs
      fi
      if [[ -z "${PEAK[$label,$t]:-}" || $peak -gt ${PEAK[$label,$t]} ]]; then PEAK[$label,$t]=$peak; fi
      COUNT[$label,$t]=$(ls "$out" | wc -l)
    done
  done
}

report() { # label description
  local label=$1 base t
  base=${BEST[$label,tabulonix]}
  printf '\n%s\n' "$2"
  printf '  %-16s %8s %10s %10s %7s\n' tool seconds "tabulonix÷" "peak MB" files
  for t in "${TOOLS[@]}"; do
    awk -v n="${NAME[$t]}" -v s="${BEST[$label,$t]}" -v b="$base" -v p="${PEAK[$label,$t]}" \
      -v f="${COUNT[$label,$t]}" \
      'BEGIN{printf "  %-16s %8.2f %10.2f %10.1f %7d\n", n, s, b / s, p / 1024, f}'
  done
}

echo "tabulonix-batch $("$TOOL" --version | awk '{print $2}'), $(nproc) cores, best of $REPEAT" \
  "runs; ${JOBS:+--jobs $JOBS; }load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "\"tabulonix÷\" is tabulonix-batch's time divided by the tool's: below 1 means tabulonix-batch is faster."
wanted 12mp && run_set 12mp thumb "$DATA/jpg12mp"
wanted 12mp-prog && run_set 12mp-prog thumb "$DATA/jpg12mp-prog"
wanted 2mp && run_set 2mp thumb "$DATA/jpg2mp"
wanted png && run_set png thumb "$DATA/png2mp"
wanted convert && run_set convert convert "$DATA/jpg12mp"
wanted 12mp && report 12mp "Thumbnails of $(ls "$DATA/jpg12mp" | wc -l) JPEG photos of 12 MP (baseline)"
wanted 12mp-prog && report 12mp-prog "Thumbnails of the same photos, progressive"
wanted 2mp && report 2mp "Thumbnails of $(ls "$DATA/jpg2mp" | wc -l) JPEG photos of 2 MP"
wanted png && report png "Thumbnails of $(ls "$DATA/png2mp" | wc -l) PNG photos of 2 MP"
wanted convert && report convert "Conversion of the 12 MP JPEG photos to baseline JPEG at full size (vips copy, convert, gm convert; one process per file)"
echo
echo "load average at end: $(cut -d' ' -f1-3 /proc/loadavg)"
