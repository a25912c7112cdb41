#!/usr/bin/env bash
# Builds kinbook and starts it on main.mdb next to the program (made empty on the first build).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/tools/setup.sh" "$here/build"
exec "$here/build/kinbook" "$@"
