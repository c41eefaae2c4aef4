#!/usr/bin/env bash
# Both programs print the project's version, without a display.
#   version_test.sh VERSION VANTREL VANTREL_CHECK
set -euo pipefail
version=$1 vantrel=$2 check=$3
status=0
expect() { # expected, command...
    local expected=$1 got
    shift
    got=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@" 2>&1) || true
    if [ "$got" != "$expected" ]; then
        echo "FAIL: $(basename "$1") ${*:2}: expected \"$expected\", got \"$got\""
        status=1
    fi
}
expect "Vantrel $version" "$vantrel" --version
expect "Vantrel $version" "$vantrel" -v
expect "vantrel-check $version" "$check" --version
# Other options do not stand in the way: a run's, or the window system's.
expect "vantrel-check $version" "$check" --version --jobs 4 page.html
expect "Vantrel $version" "$vantrel" -platform xcb --version
exit $status
