#!/usr/bin/env bash
# The README's set-up section names exactly the Debian packages that .ci/run may install.
# Usage: package_list.sh SOURCE_DIR
set -euo pipefail
cd "$1"
installed=$(grep -o 'missing+=([^)]*)' .ci/run | sed 's/missing+=(\(.*\))/\1/' | sort -u)
# The list is the backquoted text after "Debian packages", which may run over several lines.
named=$(tr '\n' ' ' <README.md | grep -o 'Debian packages `[^`]*`' | head -n 1 |
    sed 's/^Debian packages `//; s/`$//' | tr -s ' ' '\n' | sed '/^$/d' | sort -u)
if [[ -z $installed || $installed != "$named" ]]; then
    echo "the README's package list and .ci/run differ:"
    diff <(echo "$named") <(echo "$installed") || true
    exit 1
fi
echo "$(wc -l <<<"$installed") packages, the same in the README and .ci/run"
