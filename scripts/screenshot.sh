#!/usr/bin/env bash
# Takes the README's screenshot: the built program under Xvfb after a short
# session, with 纸带 open under it. Needs a build (scripts/start.sh or scripts/test.sh) first.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v import >/dev/null || { sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo;
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends imagemagick; }
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
cp build/bin/zantor build/bin/help.html "$work/"
n=90
while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
display=:$n
Xvfb "$display" -screen 0 1024x560x24 -noreset >/dev/null 2>&1 &
export DISPLAY=$display XDG_RUNTIME_DIR=$work
sleep 1
"$work/zantor" >/dev/null 2>&1 &
choice=$(xdotool search --sync --onlyvisible --name "选择操作方式")
xdotool windowfocus --sync "$choice" key Return
main=$(xdotool search --sync --onlyvisible --name "^Zantor$")
xdotool windowfocus --sync "$main"
for entry in 1234 5 250000; do xdotool type --delay 20 "$entry"; xdotool key Return; done
xdotool key space
xdotool type --delay 20 "3"
xdotool key t
tape=$(xdotool search --sync --onlyvisible --name "^纸带$")
sleep 1
eval "$(xdotool getwindowgeometry --shell "$main")"
mx=$X my=$Y mw=$WIDTH
eval "$(xdotool getwindowgeometry --shell "$tape")"
left=$((X < mx ? X : mx))
right=$((X + WIDTH > mx + mw ? X + WIDTH : mx + mw))
import -window root -crop "$((right - left))x$((Y + HEIGHT - my))+$left+$my" +repage \
  docs/screenshot.png
echo "wrote docs/screenshot.png"
