#!/usr/bin/env bash
# Installs the desktop entry and icon of scorewell for the current user, so that .mid and .kar
# files (audio/midi, audio/x-midi) open in it from a file manager.
#   scripts/install_desktop.sh [BUILD_DIR]      (default: build-release)
set -euo pipefail
cd "$(dirname "$0")/.."
binary="$(pwd)/${1:-build-release}/app/scorewell"
if [ ! -x "$binary" ]; then
  echo "scorewell is not built (no $binary): the desktop entry is not installed" >&2
  exit 0
fi
data="${XDG_DATA_HOME:-$HOME/.local/share}"
apps="$data/applications"
icons="$data/icons/hicolor/scalable/apps"
mkdir -p "$apps" "$icons"
# The entry names the built program by its full path; written atomically.
tmp="$(mktemp "$apps/.scorewell.desktop.XXXXXX")"
sed -e "s|^Exec=scorewell |Exec=\"$binary\" |" -e "s|^TryExec=scorewell$|TryExec=$binary|" \
  app/desktop/scorewell.desktop > "$tmp"
chmod 644 "$tmp"
mv -f "$tmp" "$apps/scorewell.desktop"
install -m 644 app/desktop/scorewell.svg "$icons/scorewell.svg"
command -v update-desktop-database >/dev/null && update-desktop-database -q "$apps" || true
command -v gtk-update-icon-cache >/dev/null && gtk-update-icon-cache -q -t "$data/icons/hicolor" 2>/dev/null || true
if command -v xdg-mime >/dev/null; then
  xdg-mime default scorewell.desktop audio/midi audio/x-midi 2>/dev/null || true
fi
echo "Installed the desktop entry $apps/scorewell.desktop (audio/midi, audio/x-midi)" >&2
