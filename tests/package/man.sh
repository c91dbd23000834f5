#!/usr/bin/env bash
# The manual pages render without a warning, have a name line that whatis
# reads, and describe every option that the program's own --help lists.
#
#   man.sh MAN_DIR BIN_DIR PAGE...
set -euo pipefail

man_dir=$1
bin_dir=$2
shift 2

fail() {
    echo "FALLO: $*" >&2
    exit 1
}

for name in "$@"; do
    page=$man_dir/$name.1
    [ -f "$page" ] || fail "falta el manual $page"
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 > /dev/null)
    [ -z "$warnings" ] || fail "man avisa en $name(1): $warnings"
    warnings=$(groff -man -ww -z -K utf8 "$page" 2>&1)
    [ -z "$warnings" ] || fail "groff avisa en $name(1): $warnings"
    rendered=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page" 2> /dev/null)
    lexgrog "$page" | grep -q "\"$name - " || fail "whatis no lee la línea NOMBRE de $name(1)"
    for option in $("$bin_dir/$name" --help | grep -oE -- '--[a-z]+' | sort -u); do
        grep -qF -- "$option" <<< "$rendered" || fail "$name(1) no explica la opción $option"
    done
done
echo "Manuales $*: sin avisos"
