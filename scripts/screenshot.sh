#!/usr/bin/env bash
# Refreshes the screenshot of the AppStream metadata: the console drawn by the
# program itself on an X display of its own (xvfb-run), as the end-to-end test
# shows it with Dev0 open. Commit the PNG with whatever changed the window.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}
cmake --build "$BUILD" --target pemblor_gui_e2e
(cd "$BUILD" && ctest -R '^gui_end_to_end$' --output-on-failure)
cp "$BUILD/pemblor_console.png" packaging/desktop/screenshot-console.png
echo "packaging/desktop/screenshot-console.png: $(file -b packaging/desktop/screenshot-console.png)"
