#!/usr/bin/env bash
# The shell completions of vantrel-check are valid and offer every long option
# that its --help prints, and the fixed values of the options that take them.
#   completion_test.sh VANTREL_CHECK COMPLETIONS_DIR
set -uo pipefail
source "$(dirname "$0")/longoptions.sh"
check=$1 dir=$2
options=$(long_options "$check") || exit 1
status=0
fail() {
    echo "FAIL: $*"
    status=1
}
# Each option of --help must be among the words offered.
expect_every_option() { # shell, offered words
    local option
    while read -r option; do
        grep -qxF -- "$option" <<<"$2" || fail "$1 completion does not offer $option"
    done <<<"$options"
}

# bash: complete the words as bash would, with and without bash-completion's helpers.
bash -n "$dir/vantrel-check.bash" || fail "bash -n found an error"
for helpers in /usr/share/bash-completion/bash_completion /dev/null; do
    offered() { # words on the line, the last being completed
        bash -c 'source "$1" 2>/dev/null; source "$2"; shift 2
            COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
            _vantrel_check vantrel-check "${COMP_WORDS[-1]}" "${COMP_WORDS[-2]}"
            printf "%s\n" "${COMPREPLY[@]}"' _ "$helpers" "$dir/vantrel-check.bash" "$@"
    }
    [ -e "$helpers" ] || continue
    expect_every_option "bash ($helpers)" "$(offered vantrel-check --)"
    [ "$(offered vantrel-check --jo)" = "--jobs" ] || fail "bash: --jo does not become --jobs"
    [ "$(offered vantrel-check --export j)" = $'json\njunit' ] || fail "bash: --export values"
    [ "$(offered vantrel-check --format m)" = "markdown" ] || fail "bash: --format values"
    [ "$(offered vantrel-check --repair r)" = "replace" ] || fail "bash: --repair values"
    [ "$(offered vantrel-check "$dir/vantrel-check.ba")" = "$dir/vantrel-check.bash" ] ||
        fail "bash: file names are not offered"
done

if command -v zsh >/dev/null; then
    zsh -n "$dir/_vantrel-check" || fail "zsh -n found an error"
    # The option specifications of _arguments: '--jobs=[...]', '--hawk[...]'.
    expect_every_option zsh "$(grep -oE -- "--[a-z][a-z0-9-]*[=[}']" "$dir/_vantrel-check" |
        sed 's/.$//' | sort -u)"
else
    echo "zsh is not installed: its completion is not checked"
fi

if command -v fish >/dev/null; then
    fish -n "$dir/vantrel-check.fish" || fail "fish -n found an error"
    fish_offered() { fish --no-config -c "source '$dir/vantrel-check.fish'; complete -C'$1'"; }
    expect_every_option fish "$(fish_offered 'vantrel-check --' | cut -f1)"
    [ "$(fish_offered 'vantrel-check --repair ' | cut -f1)" = $'disable\nreplace\nupdate' ] ||
        fail "fish: --repair values"
else
    echo "fish is not installed: its completion is not checked"
fi
exit $status
