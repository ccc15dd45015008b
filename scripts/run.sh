#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what the program needs, builds it and starts it. With no serial
# adapter attached it starts with the built-in simulated meter.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANDREL_BUILD_TESTS=OFF > /dev/null
cmake --build build --parallel

args=("$@")
if [ ${#args[@]} -eq 0 ] && ! compgen -G "/dev/ttyUSB*" > /dev/null && ! compgen -G "/dev/ttyACM*" > /dev/null; then
  echo "No USB serial adapter found: starting with the simulated meter (--demo)."
  args=(--demo)
fi
exec build/bin/vandrel "${args[@]}"
