#!/usr/bin/env bash
# The map page and the gallery in a real browser. Installs Debian's chromium and
# the page's npm packages (scripts/install-deps.sh browser web), then:
#  1. the vendored three.js bundle is exactly what the locked packages build;
#  2. the page's own scripts pass their node tests (decoding, mesh, camera);
#  3. pages and a gallery written by build/vxltool open headless from file://
#     with WebGL through SwiftShader: no console error, no request, no blank or
#     look-alike pictures, the controls move the view, the gallery's links hold.
set -euo pipefail
cd "$(dirname "$0")/../.."
start=$SECONDS
bash scripts/install-deps.sh browser web
[ -x build/vxltool ] && [ -x build/mapgen ] || cmake --build build

rebuilt=$(mktemp)
trap 'rm -f "$rebuilt"' EXIT
(cd web && npx --no-install esbuild three_entry.js --bundle --minify --format=esm --legal-comments=eof \
  --log-level=warning --outfile="$rebuilt")
cmp -s "$rebuilt" web/vendor/three.page.min.js ||
  { echo "ci: web/vendor/three.page.min.js is not what 'npm run vendor' builds from the lock file" >&2; exit 1; }
cmp -s web/node_modules/three/LICENSE web/vendor/three.LICENSE ||
  { echo "ci: web/vendor/three.LICENSE differs from the locked three's LICENSE" >&2; exit 1; }
echo "browser: vendored three.js matches the lock file ($(wc -c < web/vendor/three.page.min.js) bytes)"

(cd web && node --test test/*.test.js)
VXLTOOL="$PWD/build/vxltool" MAPGEN="$PWD/build/mapgen" node --test web/test-browser/
echo "browser: done in $((SECONDS - start)) s"
