#!/usr/bin/env bash
# Sets up and builds the suite, then runs every test (no display needed).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/setup.sh"
cd "$here"
ctest --test-dir build --output-on-failure --parallel "$(nproc)" "$@"
