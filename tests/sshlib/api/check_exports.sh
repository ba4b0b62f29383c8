#!/bin/sh
# Fails when the shared library $1 defines a dynamic symbol whose name does not start with $2.
set -eu
extra=$(nm -D --defined-only "$1" | awk '{print $3}' | grep -v "^$2" || true)
if [ -n "$extra" ]; then
  echo "unexpected exports of $1:"; echo "$extra"; exit 1
fi
count=$(nm -D --defined-only "$1" | awk '{print $3}' | grep -c "^$2")
echo "$1 exports $count symbols, all starting with $2"
