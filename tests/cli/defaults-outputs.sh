#!/usr/bin/env bash
# Runs tabulonix-batch on a fixed selection of corpus pictures with the new options all off,
# in several setups, and prints one line per output file, and per run its exit status and
# messages, with a digest of the contents (the work folder's path replaced by "@").
#   defaults-outputs.sh TOOL CORPUS_DIR WORK_DIR
# tests/data/defaults-outputs.txt holds what the program printed before those options came.
set -euo pipefail
tool=$1 corpus=$2 work=${3%/}
src="$work/src"
mkdir -p "$src"
for f in jpeg/libjpeg-turbo/monkey12.jpg jpeg/libjpeg-turbo/testimgari.jpg \
    png/gdk-pixbuf-fail/invalid.1.png gif/gif-test-suite/depth8.gif \
    gif/gif-test-suite/all-blues.gif bmp/bmpsuite/g/rgb24.bmp bmp/bmpsuite/g/pal8.bmp \
    tga/gdk-pixbuf-reftests/colormap-too-small.tga tiff/libtiffpic/fax2d.tif \
    tiff/libtiffpic/flower-minisblack-02.tif psd/pillow/five_channels.psd pcx/pillow/01r_00.pcx; do
    cp "$corpus/$f" "$src/$(echo "$f" | tr / _)"
done
digest() { sed "s|$work|@|g" "$1" | sha256sum | cut -c1-16; }
run() { # name, options...
    local name=$1 out="$work/$1"
    shift
    local status=0
    "$tool" --jobs 2 "$@" "$src" "$out" >"$work/$name.out" 2>"$work/$name.err" || status=$?
    echo "$name exit $status out $(digest "$work/$name.out") err $(digest "$work/$name.err")"
    for f in $(cd "$out" && ls -A | LC_ALL=C sort); do
        echo "$name $f $(digest "$out/$f")"
    done
}
run thumbnails
run convert --convert --format png
run fitted --aspect width --width 64 --enlarge --frame clRed --frame-size 3 --format gif
run named --format bmp --name 'p<inc>' --height 40 --pages 3 --no-table
run stretched --aspect none --width 30 --height 90 --format tga --quality 50
mkdir -p "$work/again"
cp "$work/thumbnails/"*tn.* "$work/again/"
run again --no-overwrite --format jpg --baseline
