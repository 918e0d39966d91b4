#!/bin/bash
# Velto.exe with its hook library missing, damaged or without the hook
# procedures: the start-up messages a person needs, in order, and a clean
# end with status 0, without ever serving finger.
#
#   hook_library_test.sh OUT_DIR EMPTY_LIBRARY
#
# EMPTY_LIBRARY is a shared library that exports neither hook procedure.
# Runs in a private network namespace, so port 79 can be watched. Exit 77
# when this machine cannot give one.
set -u

if [ "${1:-}" != --inside ]; then
  unshare -rn true 2>/dev/null || { echo "no unprivileged network namespace"; exit 77; }
  exec timeout 100 unshare -rn bash "$0" --inside "$@"
fi
out=$2
empty=$3

ip link set lo up || exit 1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export VELLUMTIDE_DRIVER=null
unset DISPLAY VELLUMTIDE_ANSWERS

no_library="Velto Error: Cannot find Velto.DLL
In the current directory"
no_monitor="Velto Error: Could not set up to monitor mouse
and/or keyboard messages"

failures=0
# case NAME EXPECTED_STDERR: runs Velto.exe from a folder prepared by the
# caller ($work/NAME) and compares how it ends.
case_of() {
  local name=$1 expected=$2 folder=$work/$1
  export VELLUMTIDE_ROOT=$folder-root
  mkdir -p "$VELLUMTIDE_ROOT"
  (cd "$folder" && exec timeout 20 ./Velto.exe) > "$folder.out" 2> "$folder.err" < /dev/null
  local status=$?
  local printed
  printed=$(cat "$folder.err")
  if [ "$status" = 0 ] && [ "$printed" = "$expected" ]; then
    echo "ok:   $name"
  else
    echo "FAIL: $name: status $status, standard error:"
    echo "$printed"
    failures=$((failures + 1))
  fi
  if ss -ltnH 'sport = :79' | grep -q .; then
    echo "FAIL: $name: something still listens on port 79"
    failures=$((failures + 1))
  fi
}

# Each case: a copy of the program and what it needs, then its Velto.dll.
for name in missing damaged without_procedures; do
  mkdir "$work/$name"
  for file in Velto.exe Velto.hlp libvtplatform.so; do
    [ -e "$out/$file" ] && cp "$out/$file" "$work/$name/"
  done
done
head -c 3000 /dev/urandom > "$work/damaged/Velto.dll"
cp "$empty" "$work/without_procedures/Velto.dll"

case_of missing "$no_library
$no_monitor"
case_of damaged "$no_library
$no_monitor"
case_of without_procedures "$no_monitor"
exit $((failures > 0))
