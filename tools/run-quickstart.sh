#!/usr/bin/env bash
# Fresh machine to running example: installs what is missing, builds, runs
# the quickstart.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
bash tools/build.sh build -DARX_BUILD_TESTS=OFF -DARX_BUILD_BENCH=OFF
./build/bin/quickstart
