#!/usr/bin/env bash
# A browser test of qms serve: run.sh TEST.mjs QMS ARTIFACT_FOLDER.
# Without chromium, node or this folder's node_modules it is skipped (exit
# 77, the reason on standard output), unless ARX_TEST_BROWSER_REQUIRED is
# set: then it fails, so that CI never passes without running it.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
missing=""
[ -x /usr/bin/chromium ] || missing="/usr/bin/chromium (Debian package chromium)"
command -v node >/dev/null || missing="node (Debian package nodejs)"
[ -d "$here/node_modules/puppeteer-core" ] ||
  missing="tests/browser/node_modules (npm ci --ignore-scripts in tests/browser)"
if [ -n "$missing" ]; then
  if [ -n "${ARX_TEST_BROWSER_REQUIRED:-}" ]; then
    echo "browser test: $missing is missing and ARX_TEST_BROWSER_REQUIRED is set" >&2
    exit 1
  fi
  echo "browser test skipped: $missing is missing"
  exit 77
fi
test="$1"
shift
exec node "$here/$test" "$@"
