#!/usr/bin/env bash
# Plays the show. On a desktop it opens full screen (pass --window for a
# window). Without a display it plays under a virtual X display (Xvfb), with
# no sound device, so the whole show still runs to its end, and then reports
# how fast each part played.
set -euo pipefail
demo="$1"
shift
if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
  exec "$demo" "$@"
fi
echo "run: no display found; playing under a virtual display (nothing will be visible)" >&2
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
# Nobody can click a message box away on a virtual display.
export DEMO_NO_MESSAGE_BOXES=1
# While it plays it says where the show stands (time, part, frames per
# second); afterwards it prints frames per second per part and writes a contact sheet
# (one frame from the middle of each part) next to the build.
sheet="$(cd "$(dirname "$demo")/.." && pwd)/contact-sheet.png"
exec xvfb-run -a -s "-screen 0 1024x768x24" "$demo" --summary "$sheet" --progress "$@"
