#!/usr/bin/env bash
# Sets up and builds the suite, then starts Dirgleam with the given arguments.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/setup.sh"
exec "$here/build/bin/Dirgleam" "$@"
