#!/usr/bin/env bash
# Takes the screenshots in docs/screenshots/: starts the real program under a virtual X server
# with an accessibility bus, answers the first-run language chooser, walks the six pages with
# a folder of pictures and photographs the progress window of the run; once at the default
# font and once more with a large interface font ("-large"); then the six pages in German,
# a translation longer than English ("-german").
# Usage: tools/screenshots.sh [FOLDER_OF_THE_BUILT_PROGRAM]   (default: build/bin)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bin="$(cd "${1:-$root/build/bin}" && pwd)"
out="$root/docs/screenshots"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$out" "$work/pictures"

# Large photographs, so that the run lasts long enough to be photographed.
/usr/bin/python3 - "$work/pictures" <<'PY'
import sys
from PIL import Image, ImageDraw
for i in range(40):
    im = Image.new('RGB', (2400, 1800), (40 + i * 8, 110, 200 - i * 5))
    d = ImageDraw.Draw(im)
    d.ellipse((300 + i * 40, 200, 1300 + i * 40, 1200), fill=(240, 190, 70))
    d.polygon([(0, 1800), (900, 900), (2400, 1800)], fill=(70, 140, 80))
    im.save('%s/photo%02d.jpg' % (sys.argv[1], i + 1), quality=90)
PY

for variant in "" "-large" "-german"; do
    prog="$work/program$variant"
    mkdir -p "$prog" "$work/run$variant" "$work/out$variant"
    chmod 700 "$work/run$variant"
    cp "$bin/tabulonix" "$prog/"
    cp -r "$bin/Helps" "$prog/"
    [ -d "$bin/Languages" ] && cp -r "$bin/Languages" "$prog/"
    # No "Language index": a first run, which asks for the language.
    printf '[General]\r\nShow splashscreen=0\r\n' >"$prog/Options.ini"
    [ "$variant" = "-large" ] && printf 'Font size=14\r\n' >>"$prog/Options.ini"
    [ "$variant" = "-german" ] && printf 'Language index=1\r\nLanguage=German\r\n' >>"$prog/Options.ini"
    XDG_RUNTIME_DIR="$work/run$variant" QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 \
        ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=xcb \
        timeout 600 xvfb-run -a -s "-screen 0 1280x1024x24" dbus-run-session -- \
        /usr/bin/python3 "$root/tools/screenshots.py" "$prog" "$out" "$variant" \
        "$work/pictures/" "$work/out$variant/"
done
