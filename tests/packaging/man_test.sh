#!/usr/bin/env bash
# Every manual page renders at 80 columns without a warning.
#   man_test.sh <page>...
set -uo pipefail
status=0
for page in "$@"; do
  warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
  if [ $? -ne 0 ] || [ -n "$warnings" ]; then
    echo "$page:"; echo "$warnings"
    status=1
  fi
done
exit $status
