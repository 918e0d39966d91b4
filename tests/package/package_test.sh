#!/bin/bash
# The Debian package as a person gets it: made from this build by
# packaging/build-deb, unpacked into a scratch root, and checked there.
#
#   package_test.sh BUILD_DIR SOURCE_DIR
#
# It checks the control fields, every file the package holds (no more, no
# less), the desktop entries, icons and manual pages with the tools that
# read them, lintian's verdict, and the launcher and vellumtide-reg running
# the daemon from the scratch root in a network namespace of their own,
# fingered with Debian's finger. As root it also runs the post-install there
# and checks that the daemon then serves port 79 as nobody.
# Exit 0 when all holds, 1 when not, 77 when this build is not one a package
# is made from.
set -u
build=$1
source=$2
here=$(cd "$(dirname "$0")" && pwd)

if [ "${3:-}" = --inside ]; then
  # The launcher and the reg tool from the scratch root, in a private network
  # namespace: $4 is the scratch root, $5 a folder for the settings.
  root=$4 settings=$5
  ip link set lo up || exit 1
  # shellcheck source=../lib/port79.sh
  . "$here/../lib/port79.sh"
  export VELLUMTIDE_ROOT=$settings VELLUMTIDE_DRIVER=null PATH=$root/usr/bin:$PATH
  failures=0
  fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
  }
  key='HKCU\Software\Tollerbay\Vellumtide'
  vellumtide-reg add "$key" /v "Real Name" /t REG_SZ /d "Packaged Person" /f >/dev/null ||
    fail "vellumtide-reg add failed"
  vellumtide-reg query "$key" /v "Real Name" | grep -q "Packaged Person" ||
    fail "vellumtide-reg query does not show what was added"

  vellumtide > "$settings/first.out" 2> "$settings/first.err" < /dev/null &
  pid=$!
  if ! wait_for_port_79 "$pid"; then
    echo "FAIL: the installed vellumtide does not listen on port 79"
    cat "$settings/first.out" "$settings/first.err"
    kill -KILL "$pid" 2>/dev/null
    exit 1
  fi
  reply=$(timeout 20 finger -l @127.0.0.1 2>&1)
  printf '%s\n' "$reply" | grep -q '^Real Name: Packaged Person$' ||
    fail "finger -l @127.0.0.1 printed: $reply"

  # A second copy, started as the menu starts it, says so and ends.
  exec_line=$(sed -n 's/^Exec=//p' "$root/usr/share/applications/vellumtide.desktop")
  # The Exec line is split into words as a desktop would split it.
  # shellcheck disable=SC2086
  second=$(timeout 20 $exec_line 2>&1 < /dev/null)
  status=$?
  [ "$status" = 0 ] || fail "the second copy ended with $status"
  printf '%s\n' "$second" | grep -q "Vellumtide is already running" ||
    fail "the second copy printed: $second"

  kill -TERM "$pid"
  (sleep 20; kill -KILL "$pid") >/dev/null 2>&1 &
  watchdog=$!
  wait "$pid"
  status=$?
  pkill -KILL -P "$watchdog"
  kill -KILL "$watchdog" 2>/dev/null
  wait "$watchdog" 2>/dev/null
  [ "$status" = 0 ] || fail "SIGTERM ended the installed daemon with $status"
  if grep -q "Velto Error" "$settings/first.err"; then
    fail "the installed daemon reported: $(cat "$settings/first.err")"
  fi
  [ "$failures" = 0 ] && echo "ok:   vellumtide and vellumtide-reg run from the package"
  exit "$failures"
fi

# shellcheck source=/dev/null
. "$build/packaging/package.env"
if [ -n "$VT_SANITIZE" ]; then
  echo "skipped: a package is made from a build without sanitizers"
  exit 77
fi
for tool in dpkg-deb dpkg-shlibdeps lintian desktop-file-validate pngcheck man finger unshare; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed"; exit 1; }
done

work=$(mktemp -d /tmp/vt-package.XXXXXX) || exit 1
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

deb=$("$source/packaging/build-deb" "$build" "$work/deb" | tail -n 1)
arch=$(dpkg --print-architecture)
[ "$deb" = "$work/deb/vellumtide_${VT_PACKAGE_VERSION}_$arch.deb" ] ||
  { echo "FAIL: build-deb made '$deb'"; exit 1; }

# The control fields. Depends is computed, so only its must-haves are named.
for field in "Package: vellumtide" "Version: $VT_PACKAGE_VERSION" "Architecture: $arch" \
  "Section: net"; do
  dpkg-deb -f "$deb" | grep -qx "$field" || fail "the control file lacks '$field'"
done
depends=$(dpkg-deb -f "$deb" Depends)
for needed in libc6 libstdc++6 libsqlite3-0 libcap2-bin; do
  printf '%s\n' "$depends" | tr -d ' ' | tr ',' '\n' | sed 's/(.*//' | grep -qxF "$needed" ||
    fail "Depends lacks $needed: $depends"
done

# Every file and link the package holds, with its mode and owner; nothing
# of the build (tests, benchmarks, a shared platform) may slip in.
expected="-rw-r--r-- root/root ./etc/xdg/autostart/vellumtide.desktop
-rwxr-xr-x root/root ./usr/bin/vellumtide
lrwxrwxrwx root/root ./usr/bin/vellumtide-reg -> ../lib/vellumtide/reg
-rwxr-xr-x root/root ./usr/lib/vellumtide/Uninstall.exe
-rw-r--r-- root/root ./usr/lib/vellumtide/Velto.dll
-rwxr-xr-x root/root ./usr/lib/vellumtide/Velto.exe
-rw-r--r-- root/root ./usr/lib/vellumtide/Velto.hlp
-rwxr-xr-x root/root ./usr/lib/vellumtide/reg"
if [ -e "$build/out/winhelp" ]; then
  expected="$expected
-rwxr-xr-x root/root ./usr/lib/vellumtide/winhelp"
fi
expected="$expected
-rw-r--r-- root/root ./usr/lib/systemd/user/vellumtide.service
-rw-r--r-- root/root ./usr/share/applications/vellumtide.desktop
-rw-r--r-- root/root ./usr/share/doc/vellumtide/changelog.gz
-rw-r--r-- root/root ./usr/share/doc/vellumtide/copyright
-rw-r--r-- root/root ./usr/share/icons/hicolor/16x16/apps/vellumtide.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/32x32/apps/vellumtide.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/48x48/apps/vellumtide.png
-rw-r--r-- root/root ./usr/share/man/man1/vellumtide-reg.1.gz
-rw-r--r-- root/root ./usr/share/lintian/overrides/vellumtide
-rw-r--r-- root/root ./usr/share/man/man1/vellumtide.1.gz"
listed=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { $3 = $4 = $5 = ""; print }' |
  tr -s ' ' | LC_ALL=C sort -k3)
expected=$(printf '%s\n' "$expected" | LC_ALL=C sort -k3)
if [ "$listed" != "$expected" ]; then
  fail "the package holds other files than expected"
  diff <(printf '%s\n' "$expected") <(printf '%s\n' "$listed")
fi
[ "$(dpkg-deb -I "$deb" conffiles 2>/dev/null)" = /etc/xdg/autostart/vellumtide.desktop ] ||
  fail "the autostart entry is not a conffile"

root=$work/root
control=$work/control
dpkg-deb -x "$deb" "$root" && dpkg-deb -e "$deb" "$control" || exit 1
chmod 755 "$root"

# The binaries link no platform library and carry no run path: a program with
# a file capability could use neither.
for program in Velto.exe Velto.dll Uninstall.exe reg; do
  dynamic=$(readelf -d "$root/usr/lib/vellumtide/$program")
  printf '%s\n' "$dynamic" | grep -Eq 'RPATH|RUNPATH|vtplatform' &&
    fail "$program needs a run path or the platform library"
done

# The desktop entries: valid, named and placed as a menu shows them; the
# login entry installed switched off.
for entry in usr/share/applications/vellumtide.desktop etc/xdg/autostart/vellumtide.desktop; do
  desktop-file-validate "$root/$entry" || fail "$entry is not a valid desktop entry"
  for line in "Name=Vellumtide" "Exec=vellumtide" "Icon=vellumtide" "Type=Application"; do
    grep -qx "$line" "$root/$entry" || fail "$entry lacks $line"
  done
done
grep -qx "Categories=Network;" "$root/usr/share/applications/vellumtide.desktop" ||
  fail "the menu entry is not in the Network category"
grep -q "^Comment=." "$root/usr/share/applications/vellumtide.desktop" ||
  fail "the menu entry has no comment"
grep -qx "Hidden=true" "$root/etc/xdg/autostart/vellumtide.desktop" ||
  fail "the login entry is not off by default"

# The icons: sound PNG files of the size their folder names.
for size in 16 32 48; do
  icon=$root/usr/share/icons/hicolor/${size}x$size/apps/vellumtide.png
  pngcheck -q "$icon" >/dev/null || fail "pngcheck rejects the $size-pixel icon"
  dimensions=$(od -An -tu1 -j16 -N8 "$icon" | tr -s ' ')
  [ "$dimensions" = " 0 0 0 $size 0 0 0 $size" ] ||
    fail "the $size-pixel icon measures $dimensions"
done

# The manual pages: man reads them without a warning, and they say what a
# person looks for.
for page in vellumtide vellumtide-reg; do
  file=$root/usr/share/man/man1/$page.1.gz
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$file" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man warns about $page(1): $warnings"
done
text=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -E UTF-8 -l "$root/usr/share/man/man1/vellumtide.1.gz" 2>/dev/null)
for heading in NAME SYNOPSIS DESCRIPTION FILES ENVIRONMENT SIGNALS "EXIT STATUS" \
  "HEADLESS USE" "REMOVING IT"; do
  printf '%s\n' "$text" | grep -qx "$heading" || fail "vellumtide(1) has no $heading section"
done
words=$(printf '%s\n' "$text" | tr -s ' \n' '  ')
# shellcheck disable=SC2088 # the page shows a tilde, not a home
for phrase in "port 79" "cap_net_bind_service" "~/.config/vellumtide" VELLUMTIDE_ROOT \
  VELLUMTIDE_DRIVER SIGTERM "vellumtide.service" "apt purge" Uninstall.exe; do
  printf '%s\n' "$words" | grep -qF -- "$phrase" || fail "vellumtide(1) never mentions $phrase"
done

# The user service starts the installed daemon headless.
unit=$root/usr/lib/systemd/user/vellumtide.service
grep -qx "ExecStart=/usr/lib/vellumtide/Velto.exe" "$unit" || fail "the service starts $(grep ExecStart "$unit")"
grep -qx "Environment=VELLUMTIDE_DRIVER=null" "$unit" || fail "the service is not headless"
grep -qx "WantedBy=default.target" "$unit" || fail "the service cannot be enabled"
# systemd reads it without a complaint, given the scratch root's program and
# manual page in place of the installed ones.
if command -v systemd-analyze >/dev/null; then
  mkdir "$work/unit"
  sed "s|^ExecStart=|ExecStart=$root|" "$unit" > "$work/unit/vellumtide.service"
  verdict=$(MANPATH=$root/usr/share/man systemd-analyze verify "$work/unit/vellumtide.service" 2>&1)
  status=$?
  if [ "$status" != 0 ] || [ -n "$verdict" ]; then
    fail "systemd-analyze verify says ($status): $verdict"
  fi
fi

# The maintainer scripts: the post-install grants the capability, the
# post-removal touches nobody's home.
grep -q "setcap cap_net_bind_service=+ep" "$control/postinst" || fail "postinst grants no capability"
grep -Eq "rm .*(HOME|~|/home)" "$control/postrm" && fail "postrm removes something in a home"
purge=$(sh "$control/postrm" purge)
# shellcheck disable=SC2088 # the message shows a tilde, not a home
printf '%s\n' "$purge" | grep -qF "~/.config/vellumtide" || fail "purging does not say where the settings are"

# The launcher's own answers.
[ "$("$root/usr/bin/vellumtide" --version)" = "vellumtide $VT_PACKAGE_VERSION" ] ||
  fail "vellumtide --version is wrong"
"$root/usr/bin/vellumtide" --bogus 2>/dev/null
[ $? = 2 ] || fail "vellumtide accepts an unknown argument"

lint=$(lintian --fail-on error "$deb" 2>&1)
status=$?
printf '%s\n' "$lint"
[ "$status" = 0 ] || fail "lintian reports errors"

# The programs from the scratch root, fingered with Debian's finger.
mkdir "$work/settings"
# Their own process namespace ends whatever they leave running.
if unshare -rn --pid --fork --mount-proc true 2>/dev/null; then
  timeout 100 unshare -rn --pid --fork --mount-proc \
    bash "$0" "$build" "$source" --inside "$root" "$work/settings" ||
    fail "the installed programs do not work"
else
  echo "skipped: no unprivileged network namespace for the installed programs"
fi

# The post-install's capability, then the daemon as nobody on port 79.
"$here/capability_test.sh" --installed "$root" "$control"
case $? in
  0 | 77) ;;
  *) fail "the installed daemon does not serve port 79 as nobody after the post-install" ;;
esac

# Uninstall.exe run by a person on the package's folder: it removes their
# settings, cannot delete the files the package owns, and says so for each.
if [ "$(id -u)" = 0 ] && getent passwd nobody >/dev/null; then
  settings=$work/uninstall-settings
  mkdir "$settings" && chown nobody "$settings"
  # as_nobody COMMAND...: runs COMMAND as nobody in the package's folder.
  as_nobody() {
    (cd "$root/usr/lib/vellumtide" &&
      timeout 20 setpriv --reuid=nobody --regid="$(id -g nobody)" --clear-groups \
        env -i PATH=/usr/bin:/bin VELLUMTIDE_DRIVER=null VELLUMTIDE_ROOT="$settings" "$@")
  }
  key='HKCU\Software\Tollerbay\Vellumtide'
  as_nobody ./reg add "$key" /v "Real Name" /t REG_SZ /d "Leaving" /f >/dev/null ||
    fail "reg add as nobody failed"
  said=$(as_nobody env VELLUMTIDE_ANSWERS=yes ./Uninstall.exe 2>&1)
  status=$?
  [ "$status" = 0 ] || fail "Uninstall.exe ended with $status"
  for name in Velto.exe Velto.hlp Velto.dll; do
    [ -e "$root/usr/lib/vellumtide/$name" ] || fail "Uninstall.exe deleted the package's $name"
    printf '%s\n' "$said" | grep -qx "Velto Un-Install Error: Unable to delete $name" ||
      fail "Uninstall.exe did not say it cannot delete $name: $said"
  done
  printf '%s\n' "$said" | grep -q "has not been un-installed properly" ||
    fail "Uninstall.exe did not say it was not un-installed properly: $said"
  as_nobody ./reg query "$key" >/dev/null 2>&1 && fail "Uninstall.exe left the settings"
fi

[ "$failures" = 0 ]
