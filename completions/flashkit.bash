# SPDX-License-Identifier: Apache-2.0
# bash completion for flashkit: commands, their options, package and manifest files, and the
# serial numbers of the connected monitors for --monitor.

# Serial numbers as `flashkit monitors --json` reports them (one per line). A tool that cannot
# reach the monitors prints no serial, and completion simply offers none.
_flashkit_serials() {
    local tool=$1
    "$tool" monitors --json 2>/dev/null |
        grep -o '"serial":"[^"]*"' | sed -e 's/^"serial":"//' -e 's/"$//'
}

# Files with the extension `$1` and folders; all files when no such file matches, so a package
# with another extension (the legacy format has none of its own) can still be completed.
_flashkit_files() {
    local ext=$1 cur=$2
    local IFS=$'\n'
    local matches=($(compgen -f -X "!*.$ext" -- "$cur") $(compgen -d -- "$cur"))
    [ ${#matches[@]} -eq 0 ] && matches=($(compgen -f -- "$cur"))
    COMPREPLY+=("${matches[@]}")
    compopt -o filenames 2>/dev/null
}

_flashkit() {
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=""
    [ "$COMP_CWORD" -gt 0 ] && prev=${COMP_WORDS[COMP_CWORD - 1]}
    local commands="info pack unpack monitors check update history"
    COMPREPLY=()

    local command="" i
    for ((i = 1; i < COMP_CWORD; i++)); do
        case " $commands " in
        *" ${COMP_WORDS[i]} "*) command=${COMP_WORDS[i]}; break ;;
        esac
    done

    if [ -z "$command" ]; then
        COMPREPLY=($(compgen -W "$commands --help --version" -- "$cur"))
        return 0
    fi

    case "$prev" in
    --monitor)
        local IFS=$'\n'
        COMPREPLY=($(compgen -W "$(_flashkit_serials "${COMP_WORDS[0]}")" -- "$cur"))
        return 0
        ;;
    -o | --output)
        if [ "$command" = unpack ]; then
            COMPREPLY=($(compgen -d -- "$cur"))
            compopt -o filenames 2>/dev/null
        else
            _flashkit_files kfw2 "$cur"
        fi
        return 0
        ;;
    esac

    local options
    case "$command" in
    info) options="--json --help" ;;
    pack) options="-o --output --canonical --legacy --help" ;;
    unpack) options="-o --output --force --help" ;;
    monitors) options="--json --help" ;;
    check) options="--monitor --json --help" ;;
    update) options="--monitor --force --yes -y --dry-run --json --help" ;;
    history) options="--monitor --json --help" ;;
    esac

    if [[ "$cur" == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return 0
    fi
    case "$command" in
    info | unpack | check | update) _flashkit_files kfw2 "$cur" ;;
    pack) _flashkit_files json "$cur" ;;
    esac
    return 0
}

complete -F _flashkit flashkit
