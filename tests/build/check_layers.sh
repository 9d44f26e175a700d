#!/usr/bin/env bash
# Checks the folder rules of the sources given as $1 (the src folder):
# - core/ includes nothing of gui/ and no Qt header;
# - core/fs, the ground floor, includes nothing above it;
# - nothing but gui/app includes gui/app, which sits on top;
# - the folders' include graph has no circle.
set -u
src=${1:?usage: check_layers.sh SRC_DIR}
cd "$src" || exit 2
failures=0
fail() { echo "layers: $*"; failures=$((failures + 1)); }

edges=$(mktemp)
trap 'rm -f "$edges"' EXIT

while IFS= read -r file; do
    from=$(dirname "$file")
    while IFS= read -r line; do
        header=$(sed -nE 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]+)".*/\1/p' <<<"$line")
        system=$(sed -nE 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*<([^>]+)>.*/\1/p' <<<"$line")
        if [ -n "$system" ] && [[ $from == core* ]] && [[ $system == SDL* ]]; then
            fail "$file includes the SDL header <$system>: controllers are read in gui/pad"
        fi
        if [ -n "$system" ] && [[ $from == core* ]] && [[ $system == Q* ]]; then
            fail "$file includes the Qt header <$system>"
        fi
        [ -n "$header" ] || continue
        [[ $header == */* ]] || continue # generated files such as moc output
        to=$(dirname "$header")
        [[ $from == core* && $to == gui* ]] && fail "$file includes $header: the core cannot see the window code"
        [[ $from == core/fs && $to != core/fs ]] && fail "$file includes $header: the ground floor includes nothing above it"
        [[ $to == gui/app && $from != gui/app ]] && fail "$file includes $header: nothing includes the application on top"
        [ "$from" != "$to" ] && echo "$to $from" >>"$edges"
    done < <(grep -E '^[[:space:]]*#[[:space:]]*include' "$file")
done < <(find core gui -type f \( -name '*.h' -o -name '*.cpp' \) | sort)

if ! sort -u "$edges" | tsort >/dev/null 2>"$edges.err"; then
    fail "the folders include each other in a circle: $(tr '\n' ' ' <"$edges.err")"
fi
rm -f "$edges.err"

if [ "$failures" -ne 0 ]; then
    echo "layers: $failures rule(s) broken"
    exit 1
fi
echo "layers: every folder keeps to its layer; no circle"
