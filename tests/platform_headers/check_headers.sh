#!/bin/bash
# Preprocesses each public header alone and fails when any file it pulls in
# comes from POSIX, X11 or SQLite (the C++ standard library is allowed), or
# when a header does not compile on its own.
set -u
compiler=$1
include_dir=$2
status=0
forbidden='(/X11/|sqlite3|/sys/socket\.h|/sys/stat\.h|/unistd\.h|/pthread\.h|/netinet/|/arpa/|/netdb\.h|/fcntl\.h|/dlfcn\.h|/signal\.h|/poll\.h|/dirent\.h)'
for header in "$include_dir"/*.h; do
  name=$(basename "$header")
  # Directly, a public header includes only the C++ standard library (no
  # ".h" names) and its siblings.
  direct=$(grep -E '^[[:space:]]*#[[:space:]]*include' "$header" |
           grep -vE '#[[:space:]]*include[[:space:]]*<[a-z_]+>' |
           grep -vE '#[[:space:]]*include[[:space:]]*"[a-z_]+\.h"' || true)
  if [ -n "$direct" ]; then
    echo "FAIL: $name includes a non-standard header directly:"
    echo "$direct"
    status=1
  fi
  if ! deps=$(echo "#include <$name>" | "$compiler" -std=c++20 -x c++ -I"$include_dir" -fsyntax-only -H - 2>&1 >/dev/null); then
    echo "FAIL: $name does not compile on its own"
    echo "$deps"
    status=1
    continue
  fi
  bad=$(echo "$deps" | grep -E '^\.+ ' | grep -E "$forbidden" || true)
  if [ -n "$bad" ]; then
    echo "FAIL: $name reaches a system header:"
    echo "$bad"
    status=1
  else
    echo "ok: $name"
  fi
done
exit $status
