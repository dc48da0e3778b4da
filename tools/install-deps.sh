#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. With --force it
# always runs apt-get update and install; otherwise only when something is
# missing. Node comes from Debian (nodejs, npm) unless the machine has it.
# --clang adds clang and its sanitizer and libFuzzer runtimes, for the
# sanitized build that also fuzzes (CI; docs/testing.md).
#
#   bash tools/install-deps.sh [--force] [--clang]
set -euo pipefail
force=0
clang=0
for argument in "$@"; do
  case "$argument" in
    --force) force=1 ;;
    --clang) clang=1 ;;
    *) echo "usage: $0 [--force] [--clang]" >&2; exit 2 ;;
  esac
done

packages=(
  build-essential cmake pkg-config
  libsqlite3-dev uuid-dev
  libgtest-dev libbenchmark-dev libeasyloggingpp-dev
  libcli11-dev nlohmann-json3-dev libboost-dev librsvg2-bin libyaml-cpp-dev
  libpq-dev postgresql
  chromium fonts-wqy-zenhei
  libsoci-dev libsqlitecpp-dev
)
[ "$clang" -eq 0 ] || packages+=(clang libclang-rt-14-dev)
command -v node >/dev/null 2>&1 || packages+=(nodejs)
command -v npm >/dev/null 2>&1 || packages+=(npm)

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done

if [ "$force" -eq 0 ] && [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
$sudo apt-get install -y --no-install-recommends "${packages[@]}"
