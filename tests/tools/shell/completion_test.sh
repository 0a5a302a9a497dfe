#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The bash completion of flashkit: what a user gets on Tab in each position, and that its
# command and option lists name exactly what the built tool accepts.
# Usage: completion_test.sh FLASHKIT COMPLETION_SCRIPT
set -uo pipefail
tool=$1
script=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/runtime" "$work/files"
export SCREENIO_SIM=demo XDG_RUNTIME_DIR=$work/runtime
failures=0

# shellcheck source=/dev/null
source "$script"

# complete LINE: fills COMPREPLY as bash would on Tab at the end of LINE (words split at blanks;
# a trailing blank starts an empty word). The command word is the built tool.
complete_line() {
    local line=$1
    read -r -a COMP_WORDS <<<"$line"
    COMP_WORDS[0]=$tool
    [[ "$line" == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _flashkit
}

# expect LINE MODE WORDS...: MODE "exactly" compares the sorted offers; "includes" needs each word
# among them.
expect() {
    local line=$1 mode=$2; shift 2
    complete_line "$line"
    local got want
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sort -u | tr '\n' ' ')
    if [ "$mode" = exactly ]; then
        want=$(printf '%s\n' "$@" | sort -u | tr '\n' ' ')
        [ "$got" = "$want" ] && return 0
    else
        local word missing=0
        for word in "$@"; do
            printf '%s\n' "${COMPREPLY[@]}" | grep -qxF -- "$word" || missing=1
        done
        [ $missing -eq 0 ] && return 0
        want="$* (among others)"
    fi
    echo "FAIL: '$line<Tab>' offers [$got], expected [$want]"
    failures=$((failures + 1))
}

cd "$work/files" || exit 1
mkdir -p out/sub
touch a.kfw2 b.KFW2.txt notes.txt manifest.json other.json
touch out/sub/x.kfw2

expect "flashkit " exactly info pack unpack monitors check update history --help --version
expect "flashkit up" exactly update
expect "flashkit update --" exactly --monitor --force --yes --dry-run --json --help
expect "flashkit history --" exactly --monitor --json --help
expect "flashkit history --monitor V27" exactly V27Q0001
expect "flashkit check --monitor " exactly V27Q0001 V24F0002 V32U0003 V34W0004 V32R0005
expect "flashkit update --monitor V2" exactly V27Q0001 V24F0002
expect "flashkit update " exactly a.kfw2 out
expect "flashkit info out/sub/" exactly out/sub/x.kfw2
expect "flashkit pack " exactly manifest.json other.json out
expect "flashkit unpack a.kfw2 -o " exactly out
expect "flashkit pack manifest.json -o " exactly a.kfw2 out
# No package with the extension: every file, since legacy packages have none of their own.
expect "flashkit info n" exactly notes.txt

# The lists in the script follow the tool: every command and option its help names.
# Options as the help's option column lists them ("-h,--help", "--monitor TEXT").
tool_options() {
    "$tool" "$@" --help | sed -n '/^Options:/,/^$/p' | awk 'NR > 1 && $1 ~ /^-/ {print $1}' | tr ',' '\n' |
        sort -u | tr '\n' ' '
}
complete_line "flashkit "
offered_commands=$(printf '%s\n' "${COMPREPLY[@]}" | grep -v '^-' | sort | tr '\n' ' ')
help_commands=$("$tool" --help | sed -n '/^Subcommands:/,/^$/p' | awk 'NR > 1 && NF {print $1}' |
    sort | tr '\n' ' ')
if [ -z "$help_commands" ] || [ "$offered_commands" != "$help_commands" ]; then
    echo "FAIL: completion offers commands [$offered_commands], the tool has [$help_commands]"
    failures=$((failures + 1))
fi
for command in $help_commands; do
    complete_line "flashkit $command -"
    offered=$(printf '%s\n' "${COMPREPLY[@]}" | sort -u | tr '\n' ' ')
    accepted=$(tool_options "$command" | sed 's/-h //')
    if [ "$offered" != "$accepted" ]; then
        echo "FAIL: '$command' completes options [$offered], the tool accepts [$accepted]"
        failures=$((failures + 1))
    fi
done

echo "completion: $failures failure(s)"
[ $failures -eq 0 ]
