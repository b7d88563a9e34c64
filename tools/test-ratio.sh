#!/bin/sh
# Lines of the tests against the program: non-blank lines of *.cpp and *.h under tests/
# against the same under every other folder but bench/ (build trees left out), and the
# lines of each test program.
cd "$(dirname "$0")/.." || exit 1
files() { git ls-files -co --exclude-standard -- '*.cpp' '*.h'; }
lines() { xargs -r -d '\n' cat | grep -cv '^[[:space:]]*$'; }
tests=$(files | grep '^tests/' | lines)
code=$(files | grep -v '^tests/' | grep -v '^bench/' | lines)
if [ "${1:-}" = "--each" ]; then
    for f in $(files | grep '^tests/' | sort); do
        printf '%6d %s\n' "$(grep -cv '^[[:space:]]*$' "$f")" "$f"
    done
fi
awk -v t="$tests" -v c="$code" 'BEGIN { printf "tests %d lines, program %d lines: %.3f\n", t, c, t / c }'
