# bash completion for vantrel-check

_vantrel_check()
{
    local cur prev words cword
    if declare -F _init_completion >/dev/null; then
        _init_completion -s || return
    else
        cur=${COMP_WORDS[COMP_CWORD]}
        prev=${COMP_WORDS[COMP_CWORD - 1]}
    fi

    case $prev in
    --export)
        mapfile -t COMPREPLY < <(compgen -W 'text html json csv junit markdown' -- "$cur")
        return
        ;;
    --format)
        mapfile -t COMPREPLY < <(compgen -W 'text json csv junit markdown' -- "$cur")
        return
        ;;
    --repair)
        mapfile -t COMPREPLY < <(compgen -W 'disable replace update' -- "$cur")
        return
        ;;
    --report | --output | --exclude-file | --cache-file)
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
        return
        ;;
    --root)
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -d -- "$cur")
        return
        ;;
    --filter | --timeout | --jobs | --per-host | --poll-ms | --retries | --retry-wait-max | \
        --host-interval | --http-port | --ftp-port | --name-server | --proxy | --exclude | --max-cache-age)
        # A value of the user's own: nothing to offer.
        return
        ;;
    esac

    if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W '--modern --classic --root --all-files --recurse --filter --hawk
            --one-eye --timeout --jobs --per-host --poll-ms --retries --retry-wait-max --host-interval
            --format --report --beep --http-port --ftp-port
            --name-server --proxy --check-remote-fragments --list-links --retest --export --output --force --repair --dry-run
            --yes --exclude --exclude-file --cache --cache-file --max-cache-age --help
            --version' -- "$cur")
        return
    fi

    # The page to test or the saved report.
    compopt -o filenames 2>/dev/null
    mapfile -t COMPREPLY < <(compgen -f -- "$cur")
} &&
    complete -F _vantrel_check vantrel-check
