#!/bin/sh
# Writes the linker's dynamic list of the platform's functions and data:
#
#   export-list.sh NM ARCHIVE OUTPUT
#
# Every global symbol the archive defines is listed, but weak ones: those are
# inline and template copies that each library carries for itself. Member
# headers ("lib.a[x.o]:") are the lines with a single field.
set -eu
nm=$1 archive=$2 output=$3
names=$("$nm" -g -P --defined-only "$archive" |
  awk 'NF >= 2 && $2 !~ /^[UwWvV]$/ { print "  " $1 ";" }' | LC_ALL=C sort -u)
if [ -z "$names" ]; then
  echo "export-list.sh: $archive defines no symbols to export" >&2
  exit 1
fi
printf '{\n%s\n};\n' "$names" > "$output.new"
mv "$output.new" "$output"
