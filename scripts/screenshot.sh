#!/usr/bin/env bash
# Starts qv under a virtual X server, waits for its window and writes a screenshot.
# Usage: scripts/screenshot.sh [OUTPUT.png] [QV]   (defaults: qv-screenshot.png, build/app/qv)
# The location tree browses the network as soon as the window shows, so qv runs in a
# network namespace: the test LAN's client namespace when QV_SCREENSHOT_LAN=1 (the LAN
# must be up), else an empty one of its own (needs root). The X server's socket in
# /tmp/.X11-unix is reachable from any network namespace.
set -euo pipefail
out=${1:-qv-screenshot.png}
qv=${2:-build/app/qv}
[ -x "$qv" ] || { echo "no program at $qv: build first" >&2; exit 2; }
out=$(realpath -m "$out")
qv=$(realpath "$qv")
repo=$(realpath "$(dirname "$0")/..")

inner=$(mktemp)
trap 'rm -f "$inner"' EXIT
cat >"$inner" <<'INNER'
#!/usr/bin/env bash
set -u
out=$1; qv=$2; repo=$3
# A profile of its own, so a screenshot never touches the user's.
export XDG_CONFIG_HOME=$(mktemp -d)
if [ "${QV_SCREENSHOT_LAN:-0}" = 1 ]; then
  "$repo/tests/lan/exec" env DISPLAY="$DISPLAY" XAUTHORITY="${XAUTHORITY:-}" XDG_CONFIG_HOME="$XDG_CONFIG_HOME" "$qv" &
else
  unshare -n "$qv" &
fi
pid=$!
for _ in $(seq 1 100); do
  # Without a window manager the root stays one plain colour until the window maps.
  spread=$(import -window root -colorspace gray -format '%[fx:standard_deviation]' info: 2>/dev/null || echo 0)
  [ "$spread" != "0" ] && break
  kill -0 "$pid" 2>/dev/null || { echo "qv ended before its window showed" >&2; exit 1; }
  sleep 0.2
done
sleep 1 # let the first paint finish
import -window root "$out"
status=$?
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
rm -rf "$XDG_CONFIG_HOME"
exit $status
INNER
chmod +x "$inner"
xvfb-run -a -s '-screen 0 1280x800x24' "$inner" "$out" "$qv" "$repo"
echo "$out"
