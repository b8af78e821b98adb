#!/usr/bin/env bash
# Checks that a tool's manual page names exactly the options its --help names.
# Usage: check-man-page.sh TOOL PAGE
set -euo pipefail
options() { grep -oE -- '(^|[^[:alnum:]-])--?[[:alpha:]][[:alnum:]-]*' | grep -oE -- '--?[[:alpha:]][[:alnum:]-]*' | LC_ALL=C sort -u; }
from_help="$("$1" --help | options)"
from_page="$(sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' -e 's/\\f[(].[.]//g' "$2" | grep -v '^\.\\"' | options)"
if [ "$from_help" != "$from_page" ]; then
    echo "the manual page $2 and $1 --help name different options:" >&2
    diff <(echo "$from_help") <(echo "$from_page") >&2 || true
    exit 1
fi
echo "$(basename "$2"): $(wc -l <<<"$from_help") options, as in --help"
