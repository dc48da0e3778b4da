#!/usr/bin/env bash
# Builds generated code the way a user's project does: installs the build
# tree into a temporary prefix, configures tests/codegen/host against it with
# find_package(ArxQms), compiles the generated sources and runs the host on
# an instance file of the generated model.
#
#   bash check-generated.sh BUILD_DIR GEN_DIR CONFIG_DB INSTANCE_FILE [CXXFLAGS [CXX]]
#
# CXX is the compiler the library was built with (a sanitized library
# needs its own compiler's runtime); the default is CMake's.
set -euo pipefail

build="$(cd "$1" && pwd)"
gen="$(cd "$2" && pwd)"
config="$3"
instance="$4"
flags="${5:-}"
compiler=()
[ -n "${6:-}" ] && compiler=(-DCMAKE_CXX_COMPILER="$6")
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d "${TMPDIR:-/tmp}/arx_generated_check.XXXXXX")"
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" >"$work/install.log"

# The registration list, regrouped: its include lines, then its map lines.
mkdir "$work/inc"
grep '^#' "$gen/RegisterDAO_Code_cleaned.txt" >"$work/inc/generated_includes.inc"
grep -v '^#' "$gen/RegisterDAO_Code_cleaned.txt" >"$work/inc/generated_registrations.inc"
whitebox="$(cd "$gen" && ls Test_*.h | head -n 1)"

cmake -S "$here/host" -B "$work/host" -DCMAKE_PREFIX_PATH="$work/prefix" \
  -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS="$flags" "${compiler[@]}" \
  -DGEN_DIR="$gen" -DINC_DIR="$work/inc" \
  -DWHITEBOX_HEADER="$whitebox" -DWHITEBOX_FUNCTION="${whitebox%.h}" >"$work/configure.log" ||
  { cat "$work/configure.log"; exit 1; }
cmake --build "$work/host" -j 2 >"$work/build.log" 2>&1 || { cat "$work/build.log"; exit 1; }
# The white-box test works in the current folder (its project path is relative).
cd "$work"
"$work/host/host" "$config" "$instance"
