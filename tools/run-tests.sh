#!/usr/bin/env bash
# Fresh machine to passing tests: installs what is missing (the browser
# test's puppeteer-core too, from tests/browser/package-lock.json), builds
# everything (tests, benchmarks, examples) and runs every test, the shared
# suites on both backends with a throw-away PostgreSQL cluster. Every option
# is given, since build/ is shared with run-quickstart.sh and its cache keeps
# whatever the last run chose (both build at -O2 without debug information);
# finding no test at all is a failure.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
(cd tests/browser && npm ci --ignore-scripts --no-audit --no-fund)
bash tools/build.sh build -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DARX_BUILD_TESTS=ON -DARX_BUILD_BENCH=ON -DARX_BUILD_EXAMPLES=ON \
  -DARX_BUILD_TOOLS=ON -DARX_SANITIZE=OFF
cd build
bash ../tools/with-pg-cluster.sh ctest --output-on-failure --no-tests=error -j"$(nproc)"
