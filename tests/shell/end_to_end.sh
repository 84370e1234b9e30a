#!/usr/bin/env bash
# Starts the real wizard under a virtual X server, closes it with Esc as a user would, and
# checks what it saved. Usage: end_to_end.sh PATH/TO/tabulonix
set -euo pipefail
program="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp "$program" "$work/tabulonix"
mkdir -m 700 "$work/run"
export XDG_RUNTIME_DIR="$work/run"
unset QT_QPA_PLATFORM
# The desktop's own libraries (the session bus) keep memory until exit; not ours to report.
export ASAN_OPTIONS="detect_leaks=0"
printf '[General]\r\nShow splashscreen=0\r\nLanguage index=0\r\n[Main]\r\nWidth=abc\r\nFrame color=$000000FF\r\nCreate HTML=1\r\n' \
    >"$work/Options.ini"

timeout 300 xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    set -euo pipefail
    "$1/tabulonix" &
    pid=$!
    window=$(timeout 120 xdotool search --sync --onlyvisible --name "^Tabulonix 1.2 by Merovane 1/6\$" | head -n 1)
    xdotool windowfocus --sync "$window"
    xdotool key Escape
    # The program ends by itself once its window is closed.
    wait "$pid"
' end_to_end "$work"

grep -q $'^Width=100\r$' "$work/Options.ini"
grep -q $'^Frame color=clRed\r$' "$work/Options.ini"
grep -q $'^Create HTML=0\r$' "$work/Options.ini"
grep -q $'^Multipaged=0\r$' "$work/Options.ini"
echo "end_to_end: the wizard started, closed with Esc and saved its fields"
