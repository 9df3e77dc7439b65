#!/bin/sh
# Fails when a shared library exports a string-table symbol.
status=0
for lib in "$@"; do
  leaked=$(nm -D --defined-only "$lib" | grep -E -i 'strtable|StringTable|ByteBuffer|Base64|ExtractField')
  if [ -n "$leaked" ]; then
    echo "$lib exports string-table symbols:"
    echo "$leaked"
    status=1
  fi
done
exit $status
