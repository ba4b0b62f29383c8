#!/bin/sh
# Compares the functions a shared library exports with the functions its public headers declare,
# one by one: every function declared with the export marker must be exported, and nothing else
# may be.
#   check_exports.sh LIBRARY MARKER HEADER...   (MARKER: the headers' export macro, e.g. TESSAN_API)
set -eu
library=$1
marker=$2
shift 2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Declarations may span lines: join each header (without its preprocessor lines), then take
# the name before the first "(" of every declaration that starts with the marker.
for header in "$@"; do
  grep -v "^[[:space:]]*#" "$header" | tr "\n" " " | grep -o "$marker[^;(]*(" || true
done | sed -e 's/[[:space:]]*($//' -e 's/.*[[:space:]*]//' | sort -u > "$work/declared"
nm -D --defined-only "$library" | awk '{print $3}' | sort -u > "$work/exported"

status=0
missing=$(comm -23 "$work/declared" "$work/exported")
extra=$(comm -13 "$work/declared" "$work/exported")
if [ -n "$missing" ]; then
  echo "declared but not exported by $library:"; echo "$missing"; status=1
fi
if [ -n "$extra" ]; then
  echo "exported by $library but declared nowhere:"; echo "$extra"; status=1
fi
if [ ! -s "$work/declared" ]; then
  echo "no declarations with $marker found in $*"; status=1
fi
echo "$library: $(wc -l < "$work/declared") functions declared, $(wc -l < "$work/exported") exported"
exit $status
