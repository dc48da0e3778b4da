#!/usr/bin/env bash
# Fresh machine to the main job: installs what is missing, builds the
# library, the qms tool and the examples, runs a qms session in a temporary
# folder and the C++ quickstart. Every option is given, since build/ is
# shared with run-tests.sh and its cache keeps whatever the last run chose;
# both build at -O2 without debug information, which would double the
# compile time.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
bash tools/build.sh build -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DARX_BUILD_EXAMPLES=ON -DARX_BUILD_TOOLS=ON -DARX_BUILD_TESTS=OFF \
  -DARX_BUILD_BENCH=OFF -DARX_SANITIZE=OFF
bash tools/qms/session.sh build/bin/qms
./build/bin/quickstart
