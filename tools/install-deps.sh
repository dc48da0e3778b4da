#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. With --force it
# always runs apt-get update and install; otherwise only when something is
# missing. Node comes from Debian (nodejs, npm) unless the machine has it.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libsqlite3-dev uuid-dev
  libgtest-dev libbenchmark-dev libeasyloggingpp-dev
  libcli11-dev nlohmann-json3-dev libcpp-httplib-dev librsvg2-bin libyaml-cpp-dev
  libpq-dev postgresql
  chromium fonts-wqy-zenhei
  libsoci-dev libboost-dev libsqlitecpp-dev
)
command -v node >/dev/null 2>&1 || packages+=(nodejs)
command -v npm >/dev/null 2>&1 || packages+=(npm)

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
