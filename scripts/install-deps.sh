#!/usr/bin/env bash
# Installs the Debian packages that building and testing need.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends \
  cmake ninja-build g++ qt6-base-dev libgtest-dev libgmock-dev libbenchmark-dev libdtl-dev libssl-dev \
  fonts-dejavu-core strace >/dev/null
