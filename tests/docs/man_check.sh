#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The rendered manual pages: groff finds nothing to warn about, and flashkit(1) names every
# command and long option that the built tool accepts, so the page cannot fall behind the tool.
# Usage: man_check.sh FLASHKIT MANDIR
set -uo pipefail
tool=$1
mandir=$2
failures=0

for page in "$mandir"/*.1; do
    warnings=$(groff -ww -man -z "$page" 2>&1)
    if [ -n "$warnings" ]; then
        echo "FAIL: groff warns about $(basename "$page"):"
        echo "$warnings"
        failures=$((failures + 1))
    fi
done

# The page as a reader sees it, without font changes or hyphenation at line ends.
text=$(MANWIDTH=200 man -l "$mandir/flashkit.1" 2>/dev/null | col -b)
commands=$("$tool" --help | sed -n '/^Subcommands:/,/^$/p' | awk 'NR > 1 && NF {print $1}')
[ -n "$commands" ] || { echo "FAIL: no commands found in flashkit --help"; failures=$((failures + 1)); }
for command in $commands; do
    grep -qE "^ +flashkit $command( |$)" <<<"$text" ||
        { echo "FAIL: flashkit(1) has no synopsis line for '$command'"; failures=$((failures + 1)); }
    for option in $("$tool" "$command" --help | sed -n '/^Options:/,/^$/p' |
        awk 'NR > 1 && NF {print $1}' | tr ',' '\n' | grep '^--'); do
        grep -qF -- "$option" <<<"$text" ||
            { echo "FAIL: flashkit(1) does not describe $command $option"; failures=$((failures + 1)); }
    done
done
# Every exit status the tool's help lists has its row in the page's table.
statuses=$(sed -n '/^EXIT STATUS/,/^ENVIRONMENT/p' <<<"$text")
for code in $("$tool" --help | sed -n '/^Exit status:/,/^$/p' | awk 'NR > 1 && NF {print $1}'); do
    grep -qE "^ +$code *$" <<<"$statuses" ||
        { echo "FAIL: flashkit(1) has no exit status $code"; failures=$((failures + 1)); }
done
for variable in SCREENIO_SIM SCREENIO_TRACE SCREENIO_USB_VENDOR_ID; do
    grep -qF "$variable" <<<"$text" ||
        { echo "FAIL: flashkit(1) does not describe $variable"; failures=$((failures + 1)); }
done

echo "manual pages: $failures failure(s)"
[ $failures -eq 0 ]
