#!/usr/bin/env bash
# Runs a command with a throw-away PostgreSQL cluster: starts one in a new
# temporary folder on a free local port, exports ARX_TEST_PG_URI (and
# ARX_BENCH_PG_URI) for the tests and benchmarks, runs the command, and stops
# and removes the cluster on every way out. ARX_TEST_PG_REQUIRED=1 makes the
# PostgreSQL test cases fail rather than skip should the server be gone.
#
#   bash tools/with-pg-cluster.sh ctest --output-on-failure
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
[[ $# -gt 0 ]] || { echo "usage: $0 COMMAND [ARGS...]" >&2; exit 2; }

folder="$(mktemp -d "${TMPDIR:-/tmp}/arx_pg.XXXXXX")"
chmod 755 "$folder"
cleanup() {
    bash "$here/pg-test-cluster.sh" kill "$folder/cluster" || true
    rm -rf "$folder"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

port_in_use() {
    (echo >"/dev/tcp/127.0.0.1/$1") >/dev/null 2>&1
}
port=$((20000 + RANDOM % 20000))
while port_in_use "$port"; do port=$((port + 1)); done

uri="$(bash "$here/pg-test-cluster.sh" start "$folder/cluster" "$port")"
export ARX_TEST_PG_URI="$uri" ARX_BENCH_PG_URI="$uri" ARX_TEST_PG_REQUIRED=1
echo "PostgreSQL test cluster on port $port"
status=0
"$@" || status=$?
exit "$status"
