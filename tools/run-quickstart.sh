#!/usr/bin/env bash
# Fresh machine to running example: installs what is missing, builds, runs
# the quickstart. Every option is given, since build/ is shared with
# run-tests.sh and its cache keeps whatever the last run chose.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
bash tools/build.sh build -DARX_BUILD_EXAMPLES=ON -DARX_BUILD_TESTS=OFF -DARX_BUILD_BENCH=OFF \
  -DARX_SANITIZE=OFF
./build/bin/quickstart
