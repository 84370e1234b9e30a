#!/usr/bin/env bash
# thumbnails.sh - time tabulonix-batch making 100-pixel-high JPEG thumbnails of a folder of
# large JPEG photos against vipsthumbnail and ImageMagick (convert -thumbnail, -sample).
#
#   bench/thumbnails.sh [PHOTO_FOLDER]
#
# Without a folder argument (or PHOTOS_DIR) the photo sets are made by
# ../shared/bench/make-photos.sh and the 12-megapixel set is used.
# The release build of the tool is taken from $BUILD_DIR (default: build/ of the checkout)
# and made there when it is missing. All tools run on one thread (VIPS_CONCURRENCY=1,
# MAGICK_THREAD_LIMIT=1) since tabulonix-batch uses one; THREADS=default leaves the others
# at their own settings.
set -euo pipefail

HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
ROOT="$(cd "$HERE/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
TOOL="$BUILD_DIR/bin/tabulonix-batch"
CONVERT=/usr/bin/convert-im6.q16 # /usr/local/bin/convert may be something else

missing=()
command -v vipsthumbnail >/dev/null 2>&1 || missing+=(libvips-tools)
[[ -x "$CONVERT" ]] || missing+=(imagemagick)
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}" >&2
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}" >&2
fi

if [[ ! -x "$TOOL" ]]; then
  echo "building tabulonix-batch (Release) in $BUILD_DIR" >&2
  cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release >&2
  cmake --build "$BUILD_DIR" --target tabulonix-batch -j2 >&2
fi

PHOTOS="${1:-}"
if [[ -z "$PHOTOS" ]]; then
  MAKER="$ROOT/../shared/bench/make-photos.sh"
  DATA="${PHOTOS_DIR:-$HERE/data}"
  PHOTOS_DIR="$DATA" bash "$MAKER" >&2
  PHOTOS="$DATA/jpg12mp"
fi
mapfile -t FILES < <(find "$PHOTOS" -maxdepth 1 -type f \( -iname '*.jpg' -o -iname '*.jpeg' \) | sort)
((${#FILES[@]})) || { echo "no JPEG files in $PHOTOS" >&2; exit 1; }

if [[ "${THREADS:-1}" != default ]]; then
  export VIPS_CONCURRENCY=1 MAGICK_THREAD_LIMIT=1 OMP_NUM_THREADS=1
fi

WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

now() { date +%s.%N; }
declare -A SECONDS_OF
run() { # name command...
  local name=$1 start end
  shift
  OUT="$WORK/$name"
  mkdir -p "$OUT"
  start=$(now)
  "$@"
  end=$(now)
  SECONDS_OF[$name]=$(awk -v a="$start" -v b="$end" 'BEGIN{printf "%.2f", b - a}')
  printf '%-22s %8s s  (%d files)\n' "$name" "${SECONDS_OF[$name]}" "$(ls "$WORK/$name" | wc -l)"
}

tabulonix() {
  "$TOOL" --quiet --no-html --height 100 --format jpg "$PHOTOS" "$OUT" >/dev/null
}
vips() {
  vipsthumbnail "${FILES[@]}" --size x100 -o "$OUT/%s.jpg[Q=80]"
}
im_thumbnail() {
  for f in "${FILES[@]}"; do "$CONVERT" "$f" -thumbnail x100 -quality 80 "$OUT/$(basename "$f")"; done
}
im_sample() {
  for f in "${FILES[@]}"; do "$CONVERT" "$f" -sample x100 -quality 80 "$OUT/$(basename "$f")"; done
}

size=$("$CONVERT" -ping "${FILES[0]}" -format '%wx%h' info:)
echo "${#FILES[@]} photos from $PHOTOS (first ${size}), thumbnails 100 pixels high, JPEG quality 80"
echo "threads: ${THREADS:-1}"
run tabulonix tabulonix
run vipsthumbnail vips
run convert-thumbnail im_thumbnail
run convert-sample im_sample

base=${SECONDS_OF[tabulonix]}
echo
echo "time relative to tabulonix-batch (above 1 = slower than tabulonix-batch):"
for name in vipsthumbnail convert-thumbnail convert-sample; do
  awk -v n="$name" -v t="${SECONDS_OF[$name]}" -v b="$base" 'BEGIN{printf "  %-20s %6.2f\n", n, t / b}'
done
