#!/usr/bin/env bash
# Fresh machine to passing tests: installs what is missing, builds
# everything (tests, benchmarks, examples) and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
bash tools/build.sh build
cd build
ctest --output-on-failure -j"$(nproc)"
