#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds, and starts the window.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
"$here/setup.sh"
"$here/build.sh"
exec "$here/../build/app/krumple"
