#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package in build-package/ and checks it: its file list,
# the desktop entry, the software-centre file, lintian, and a start of the
# unpacked program with --demo that must find its pictures and the simulator.
# Usage: scripts/package.sh   (JOBS=N limits the parallel build)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
# Builds share a compiler cache when one is installed (the dependencies bring it).
command -v ccache > /dev/null && export CMAKE_CXX_COMPILER_LAUNCHER=ccache
launcher=()
command -v ccache > /dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANDREL_BUILD_TESTS=OFF \
  "${launcher[@]}" > /dev/null
cmake --build build-package --parallel "${JOBS:-$(nproc)}"
rm -f build-package/vandrel_*.deb
(cd build-package && cpack -G DEB > /dev/null)
debs=(build-package/vandrel_*.deb)
deb=${debs[0]}
echo "== $deb"

failed=()
fail() { echo "   FAILED: $*"; failed+=("$1"); }

# --- What the package must hold, with its permissions.
listing=$(dpkg-deb -c "$deb")
programs=(vandrel vandrel-meter-sim)
[ -d src/cli ] && programs+=(vandrel-cli)
[ -d src/station ] && programs+=(vandrel-station)
expected=(
  ./usr/share/vandrel/VandrelHelp.htm
  ./usr/share/applications/vandrel.desktop
  ./usr/share/metainfo/vandrel.metainfo.xml
  ./usr/share/icons/hicolor/scalable/apps/vandrel.svg
  ./usr/share/doc/vandrel/copyright
  ./usr/share/doc/vandrel/changelog.gz
)
for model in 520 540 560 580; do expected+=("./usr/share/vandrel/RESOURCE/PANEL$model.BMP"); done
for size in 16 22 24 32 48 64 128 256; do expected+=("./usr/share/icons/hicolor/${size}x$size/apps/vandrel.png"); done
for p in "${programs[@]}"; do expected+=("./usr/bin/$p" "./usr/share/man/man1/$p.1.gz"); done
if [ -d src/station ]; then
  expected+=(./usr/lib/systemd/system/vandrel-station.service ./usr/lib/sysusers.d/vandrel.conf
             ./usr/share/doc/vandrel/examples/station.conf)
fi
for path in "${expected[@]}"; do
  grep -qE " ${path//./\\.}\$" <<< "$listing" || fail "missing $path"
done
while read -r mode _ _ _ _ path; do
  case "$mode:$path" in
    d*) want=drwxr-xr-x ;;
    *:./usr/bin/*) want=-rwxr-xr-x ;;
    *) want=-rw-r--r-- ;;
  esac
  [ "$mode" = "$want" ] || fail "permissions $mode of $path (want $want)"
done <<< "$listing"

# --- The checkers, each on what the package installs.
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root/pkg"
echo "== desktop-file-validate"
desktop-file-validate "$root/pkg/usr/share/applications/vandrel.desktop" || fail desktop-file-validate
echo "== appstreamcli validate"
# Warnings are shown; only errors fail the package.
report=$(appstreamcli validate --no-net "$root/pkg/usr/share/metainfo/vandrel.metainfo.xml" || true)
echo "$report"
! grep -q '^E:' <<< "$report" || fail appstreamcli
if [ -d src/station ]; then
  # The unit as installed, pointed at the unpacked program (verify wants the
  # command to exist); the example configuration must pass its own check.
  echo "== systemd-analyze verify"
  sed "s#/usr/bin/vandrel-station#$root/pkg/usr/bin/vandrel-station#" \
    "$root/pkg/usr/lib/systemd/system/vandrel-station.service" > "$root/vandrel-station.service"
  systemd-analyze verify --man=no "$root/vandrel-station.service" || fail systemd-analyze
  grep -q '^\[Install\]' "$root/vandrel-station.service" || fail "the unit has no [Install] section"
  echo "== the example configuration"
  "$root/pkg/usr/bin/vandrel-station" --check-config --config "$root/pkg/usr/share/doc/vandrel/examples/station.conf" \
    || fail "the example configuration does not pass --check-config"
fi
echo "== lintian"
lintian --fail-on error "$deb" || fail lintian

# --- The unpacked program finds its files through its own folder:
# ../share/vandrel for the pictures and the simulator beside it for --demo.
if ! strace -o /dev/null true 2> /dev/null; then
  # Containers may forbid tracing; the file list above still holds the paths.
  echo "== strace cannot trace here: the start check from the unpacked package is skipped"
else
  echo "== start with --demo from the unpacked package"
  mkdir -p "$root/home" "$root/trace"
  # In its own session, so that the program, the simulator, the X server and
  # strace end together; the session leader writes its id, which is the group's.
  HOME=$root/home XDG_CONFIG_HOME=$root/home/.config XDG_DATA_HOME=$root/home/.local/share \
    setsid bash -c 'echo $$ > "$0/group"; exec xvfb-run -a strace -f -ff -e trace=openat,execve \
      -o "$0/trace/t" "$0/pkg/usr/bin/vandrel" --demo' "$root" > "$root/run.log" 2>&1 &
  for _ in $(seq 1 100); do [ -s "$root/group" ] && break; sleep 0.1; done
  group=$(cat "$root/group")
  picture="\"$root/pkg/usr/share/vandrel/RESOURCE/PANEL580.BMP\", O_RDONLY[^)]*\) = [0-9]"
  simulator="execve\(\"$root/pkg/usr/bin/vandrel-meter-sim\""
  seen() { grep -qsE "$1" "$root"/trace/t.*; }
  for _ in $(seq 1 180); do
    seen "$picture" && seen "$simulator" && break
    kill -0 -- -"$group" 2> /dev/null || break
    sleep 1
  done
  seen "$simulator" || fail "--demo did not start the packaged simulator"
  seen "$picture" || fail "the panel picture was not read from the package"
  [ ${#failed[@]} -eq 0 ] || cat "$root/run.log"
  kill -- -"$group" 2> /dev/null || true
  for _ in $(seq 1 50); do kill -0 -- -"$group" 2> /dev/null || break; sleep 0.1; done

fi

if [ ${#failed[@]} -gt 0 ]; then
  echo "The package check failed: ${#failed[@]} problem(s)."
  exit 1
fi
echo "Package ok: $deb"
