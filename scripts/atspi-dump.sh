#!/usr/bin/env bash
# The window's accessibility tree as a screen reader hears it: starts the
# window under Xvfb on a private D-Bus session with the AT-SPI bus, adds the
# given files, optionally converts them, and prints the tree.
#   scripts/atspi-dump.sh BUILD-DIR [--convert] [FILE...]
set -euo pipefail
build=$1
shift
convert=0
[[ ${1:-} == --convert ]] && { convert=1; shift; }
here=$(cd "$(dirname "$0")" && pwd)
exec xvfb-run -a -s "-screen 0 1280x800x24" dbus-run-session -- bash -c '
    /usr/libexec/at-spi-bus-launcher --launch-immediately &
    sleep 1
    export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1 NO_AT_BRIDGE=0
    "$0/app/krumple" "${@:3}" & app=$!
    sleep 3
    if [[ $2 == 1 ]]; then
        /usr/bin/python3 - <<PY
import pyatspi, time
desktop = pyatspi.Registry.getDesktop(0)
for i in range(desktop.childCount):
    a = desktop.getChildAtIndex(i)
    if a is not None and "krumple" in (a.name or "").lower():
        def find(o):
            if o.getRoleName() == "push button" and o.name.startswith("Convert"):
                return o
            for j in range(o.childCount):
                f = find(o.getChildAtIndex(j))
                if f: return f
        b = find(a)
        b.queryAction().doAction(0)
PY
        sleep 8
    fi
    /usr/bin/python3 "$1/atspi-dump.py" krumple
    kill $app' "$build" "$here" "$convert" "$@"
