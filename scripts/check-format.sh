#!/bin/sh
# Fails, naming the files, when clang-format (with the .clang-format at the
# root) would change any C++ file that git tracks. Run it from anywhere.
set -eu
cd "$(dirname "$0")/.."

if ! command -v clang-format >/dev/null 2>&1; then
    echo "check-format.sh: clang-format is not installed (scripts/setup.sh installs it)" >&2
    exit 1
fi

unformatted=""
for file in $(git ls-files '*.cpp' '*.h'); do
    if ! clang-format --style=file "$file" | cmp -s - "$file"; then
        unformatted="$unformatted $file"
    fi
done
if [ -n "$unformatted" ]; then
    echo "check-format.sh: clang-format would change:$unformatted" >&2
    echo "check-format.sh: run clang-format -i on them" >&2
    exit 1
fi
