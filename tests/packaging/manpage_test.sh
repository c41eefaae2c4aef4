#!/usr/bin/env bash
# Every long option that a program's --help prints is told in its manual page.
#   manpage_test.sh PROGRAM PAGE.scd
set -euo pipefail
source "$(dirname "$0")/longoptions.sh"
program=$1 page=$2
options=$(long_options "$program")
[ -n "$options" ] || { echo "FAIL: $program --help names no option"; exit 1; }
missing=0
while read -r option; do
    # The page writes each option in bold: *--option*.
    if ! grep -qF -- "*$option*" "$page"; then
        echo "FAIL: $option is missing from $(basename "$page")"
        missing=1
    fi
done <<<"$options"
exit $missing
