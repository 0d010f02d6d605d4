#!/usr/bin/env bash
# A look at the attachments window as the user sees it: under Xvfb and Wine
# (a prefix of its own with Wine's X11 driver), dwl.exe sim --addin opens
# the window with three files added and the password row shown, and
# ImageMagick's import saves it as a PNG, which must have the window's size
# and not be blank. Usage: window_screenshot_test.sh DWL_EXE DLL PNG
set -euo pipefail
dwl="$1"
addin="$2"
png="$3"
root="$(cd "$(dirname "$0")/../.." && pwd)"
for tool in xvfb-run import identify convert xwininfo; do
  command -v "$tool" > /dev/null || { echo "no $tool: skipped"; exit 77; }
done
fail() { echo "FAIL: $*" >&2; exit 1; }
export WINEPREFIX="${TMPDIR:-/tmp}/dwl-wine-x11-$(id -u)"
export WINEDEBUG=-all
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
windows_path() { local path="Z:$1"; echo "${path//\//\\}"; }
wine=/usr/lib/wine/wine
file -b "$addin" | grep -q 'x86-64' && wine=/usr/lib/wine/wine64

cd "$work"
head -c 1500000 /dev/zero > report.pdf
head -c 250000 /dev/zero > notes.txt
head -c 5242880 /dev/zero > "holiday photos.zip"
cat > look.sim <<'SIM'
host agent=record window=system
connect
open m1
activate m1
click
dialog add report.pdf notes.txt "holiday photos.zip"
dialog check-password
pause 15000
SIM

# The client area in pixels at 96 dots per inch (15 twips a pixel): 6150 by
# 5280 twips, and 350 more with the password row.
client_width=410
client_height=$(( (5280 + 350) / 15 ))

cat > look.sh <<LOOK
set -euo pipefail
"$root/scripts/wine-run" "$dwl" --help > /dev/null   # the prefix, made with a display
"$wine" regsvr32 /s "$(windows_path "$addin")"
"$root/scripts/wine-run" "$dwl" sim --addin "$(windows_path "$addin")" look.sim > sim.out 2>&1 &
sim=\$!
id=""
for _ in \$(seq 1 100); do
  id=\$(xwininfo -root -tree | awk '/"Dropwell attachments"/ { print \$1; exit }')
  [ -n "\$id" ] && break
  sleep 0.2
done
[ -n "\$id" ] || { echo "the window did not appear"; kill \$sim; exit 1; }
sleep 2   # drawn
xwininfo -id "\$id" > window.txt
import -window "\$id" "$png"
wait \$sim || { echo "dwl.exe sim failed:"; cat sim.out; exit 1; }
"$wine" regsvr32 /u /s "$(windows_path "$addin")"
LOOK
xvfb-run -a -s "-screen 0 1024x768x24" bash look.sh || fail "no look at the window"

read -r width height < <(identify -format '%w %h\n' "$png")
# Wine draws the frame and caption itself when no window manager runs.
[ "$width" -ge "$client_width" ] && [ "$width" -le $((client_width + 40)) ] ||
  fail "the picture is $width pixels wide, the window's client area $client_width"
[ "$height" -ge "$client_height" ] && [ "$height" -le $((client_height + 60)) ] ||
  fail "the picture is $height pixels high, the window's client area $client_height"
deviation=$(convert "$png" -colorspace Gray -format '%[fx:standard_deviation]' info:)
awk -v d="$deviation" 'BEGIN { exit !(d > 0.05) }' || fail "the picture is blank (deviation $deviation)"
colours=$(identify -format '%k' "$png")
[ "$colours" -ge 8 ] || fail "the picture has only $colours colours"
echo "ok: $png, ${width}x${height} pixels, $colours colours"
