#!/usr/bin/env bash
# Fresh machine to passing tests: installs what is missing (clang and its
# sanitizer runtime, and the browser test's puppeteer-core from
# tests/browser/package-lock.json), builds everything (tests, benchmarks,
# examples, fuzz targets) in build-check/ with clang under AddressSanitizer
# and UndefinedBehaviorSanitizer, and runs every test there, the shared
# suites on every backend with a throw-away PostgreSQL cluster. One build
# serves the sanitized suite and the fuzzing (tools/run-fuzz.sh
# build-check). Every option is given, so an older cache in build-check/
# cannot change what is built; finding no test at all is a failure.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh --clang
(cd tests/browser && npm ci --ignore-scripts --no-audit --no-fund)
bash tools/build.sh build-check -DCMAKE_CXX_COMPILER=clang++ -DARX_SANITIZE=ON -DARX_FUZZ=ON \
  -DARX_BUILD_TESTS=ON -DARX_BUILD_BENCH=ON -DARX_BUILD_EXAMPLES=ON -DARX_BUILD_TOOLS=ON
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
cd build-check
bash ../tools/with-pg-cluster.sh ctest --output-on-failure --no-tests=error -j"$(nproc)"
