# Set-up shared by the tests of the Windows programs under Wine: the Linux
# `dwl server` on loopback, the Windows dwl.exe and TransferAgent.exe run by
# scripts/wine-run, and this Wine user's Dropwell folder emptied first.
# Source it with the Windows programs' folder as $1 and the Linux programs'
# folder as $2; without the Linux build the test is skipped (exit 77).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
source "$root/scripts/dwl-server.sh"
source "$root/scripts/agent.sh"

fail() { echo "FAIL: $*" >&2; exit 1; }

windows_bin="$1"
linux_bin="$2"
[ -x "$linux_bin/dwl" ] || { echo "no Linux build in $linux_bin: skipped"; exit 77; }
wine_run="$root/scripts/wine-run"
export WINEPREFIX="${WINEPREFIX:-${TMPDIR:-/tmp}/dwl-wine-$(id -u)}"
use_scratch_folder
use_scratch_home
"$wine_run" "$windows_bin/dwl.exe" --help > /dev/null || fail "dwl.exe does not start under Wine"
# The Wine user's application data, where the Windows programs keep the queue.
appdata="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Dropwell"
rm -rf "$appdata"
queue="$appdata/MailQueue"
dwl_exe() { "$wine_run" "$windows_bin/dwl.exe" "$@"; }
# A Linux path as the Windows programs see it (Wine's drive Z: is /).
windows_path() { local path="Z:$1"; echo "${path//\//\\}"; }
