#!/usr/bin/env bash
# Installs the Debian packages the build needs. With --force it always runs
# apt-get update and install; otherwise only when something is missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libsqlite3-dev uuid-dev
  libgtest-dev libbenchmark-dev libeasyloggingpp-dev
  libcli11-dev nlohmann-json3-dev librsvg2-bin
  libpq-dev postgresql
)

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done

if [ "${1:-}" != "--force" ] && [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
$sudo apt-get install -y --no-install-recommends "${packages[@]}"
