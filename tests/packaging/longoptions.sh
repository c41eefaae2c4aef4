# Shared by the packaging tests: the long options that a program's --help
# prints, one a line. The text is read without a display, as from a terminal.
long_options() { # program
    local help
    help=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$1" --help) || {
        echo "FAIL: $1 --help ended with an error" >&2
        return 1
    }
    grep -oE -- '--[a-z][a-z0-9-]*' <<<"$help" | sort -u
}
