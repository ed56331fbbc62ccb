#!/usr/bin/env bash
# Tests the downloads in dist/ (scripts/package.sh makes them) as a user gets them: the sums;
# the zip holds exactly its files; the .deb, unpacked into a scratch root, holds its files, its
# programs give the project's version, its tavelor-server --sim answers, and from a read-only
# folder puts a flight plan in the user's state folder; the installer, run silently under Wine,
# installs the files and shortcuts, the installed programs give the version, the installed
# TavelorServer.exe serves the installed stand-in, the launcher starts the server with
# tavelor-web (and the stand-in) and ends them with the server's window, and the uninstaller
# leaves Program Files, the Start menu and the registry as they were. The documents' links lead
# from one to another as shipped; the .deb's programs are hardened, and it is installed with
# dpkg, used, removed (leaving its options file and the unit's mask) and purged (leaving nothing).
#
# Root: the programs run in a network namespace of their own (ports 9696, 9697 and 9080 are
# theirs whatever else runs), Wine with its null graphics driver in a prefix of its own. Every
# wait is bounded. Fails at the first check that does not hold, saying which.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
version=$(sed -n 's/^project(TavelorServer VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
dist="$root/dist"
work="$root/build/package-check"
net="tavelor-package-check"
windows_files=(LICENSE.txt README.html THIRD-PARTY-NOTICES.txt TavelorServer.exe flightgear.html pages.html
  protocol.html recording.html tavelor-launch.exe tavelor-probe.exe tavelor-sim.exe tavelor-web.exe)
documents=(README.html protocol.html pages.html recording.html flightgear.html)
parked_radi=$' 12.3:  0.0:7000:118.25:121.50:110.90:113.90:111.30:109.00:0345:10010000:119.10:124.85:\r'

fail() { echo "check-packages.sh: $*" >&2; exit 1; }
expect() { [[ $2 == "$3" ]] || fail "$1: expected $(printf %q "$3"), got $(printf %q "$2")"; }
# Programs started in the background are started as `ip netns exec ... &`, which becomes the
# program itself: its process number is the program's.
in_net() { ip netns exec "$net" "$@"; }
# ask PORT TEXT: the answer to TEXT sent alone on a connection, within ten seconds (as $(...)
# gives it: without the line end's LF, so an answer ending in CR LF ends in CR).
ask() { printf '%s' "$2" | in_net timeout 10 nc -q1 -w5 127.0.0.1 "$1" || true; }
# wait_for SECONDS COMMAND...: true once the command succeeds, tried every half second.
wait_for() {
  local tries=$(($1 * 2))
  shift
  while ((tries-- > 0)); do "$@" && return 0; sleep 0.5; done
  return 1
}
listening() { in_net nc -z 127.0.0.1 "$1"; }
free() { ! listening "$1"; }
running() { kill -0 "$1" 2>/dev/null; }
gone() { ! running "$1"; }

cleanup() {
  [[ -n ${installed_deb:-} ]] && dpkg --purge tavelor >/dev/null 2>&1
  [[ -n ${WINEPREFIX:-} ]] && in_net timeout 30 wineserver -k 2>/dev/null
  [[ -n ${read_only:-} ]] && umount "$read_only"
  ip netns delete "$net" 2>/dev/null
  true
}
trap cleanup EXIT
trap 'exit 1' TERM INT

[[ $(id -u) -eq 0 ]] || fail "needs root, for a network namespace of its own"
umount "$work/deb/usr/bin" 2>/dev/null || true  # left by a run that was killed
rm -rf "$work"
mkdir -p "$work"
ip netns delete "$net" 2>/dev/null || true
ip netns add "$net" && ip -n "$net" link set lo up

echo "-- the sums"
(cd "$dist" && sha256sum --check --quiet SHA256SUMS) || fail "a file differs from its sum in SHA256SUMS"
expect "files in SHA256SUMS" "$(wc -l <"$dist/SHA256SUMS")" 3

echo "-- the Windows programs: ASLR with high entropy, a non-executable data segment"
for program in TavelorServer.exe tavelor-web.exe tavelor-sim.exe tavelor-probe.exe tavelor-launch.exe; do
  unzip -p "$dist/TavelorServer-$version-windows-x64.zip" "TavelorServer-$version-windows-x64/$program" >"$work/$program"
  flags=$(python3 -c 'import struct, sys
b = open(sys.argv[1], "rb").read(4096)
pe = struct.unpack_from("<I", b, 0x3C)[0]
dll = struct.unpack_from("<H", b, pe + 24 + 70)[0]  # DllCharacteristics of a PE32+ optional header
print(" ".join(name for bit, name in ((0x20, "high-entropy-va"), (0x40, "dynamicbase"), (0x100, "nxcompat")) if dll & bit))' "$work/$program")
  expect "$program's flags" "$flags" "high-entropy-va dynamicbase nxcompat"
done

echo "-- the zip"
folder="TavelorServer-$version-windows-x64"
expected=$(printf "$folder/%s\n" "${windows_files[@]}" | sort)
expect "the zip's files" "$(unzip -Z1 "$dist/$folder.zip" | grep -v '/$' | sort)" "$expected"
unzip -q -o "$dist/$folder.zip" "$folder/*.html" -d "$work/zip"
/usr/bin/python3 packaging/check_links.py "$work/zip/$folder" "${documents[@]}" ||
  fail "the zip's documents have links that lead nowhere (above)"

echo "-- the .deb, unpacked"
deb="$work/deb"
dpkg -x "$dist/tavelor_${version}_amd64.deb" "$deb"
expect "the .deb's files" "$(cd "$deb" && find . -type f | sort | tr '\n' ' ')" \
  "./etc/default/tavelor-mqtt ./etc/default/tavelor-web ./usr/bin/tavelor-mqtt ./usr/bin/tavelor-probe ./usr/bin/tavelor-server ./usr/bin/tavelor-sim ./usr/bin/tavelor-web ./usr/lib/systemd/system/tavelor-mqtt.service ./usr/lib/systemd/system/tavelor-web.service ./usr/share/doc/tavelor/README.html ./usr/share/doc/tavelor/copyright ./usr/share/doc/tavelor/flightgear.html ./usr/share/doc/tavelor/pages.html ./usr/share/doc/tavelor/protocol.html ./usr/share/doc/tavelor/recording.html "
# The documents' links lead from one to another as they are shipped, here and in the zip.
/usr/bin/python3 packaging/check_links.py "$deb/usr/share/doc/tavelor" "${documents[@]}" ||
  fail "the .deb's documents have links that lead nowhere (above)"
# Every option of each service's defaults file is there, commented.
for service in tavelor-web tavelor-mqtt; do
  for option in $("$deb/usr/bin/$service" --help | grep -o -- '^  --[a-z-]*' | grep -v -- '--help\|--version'); do
    grep -q "^#   $option " "$deb/etc/default/$service" || fail "/etc/default/$service does not name $option"
  done
done
for program in tavelor-server tavelor-web tavelor-mqtt tavelor-sim tavelor-probe; do
  expect "the .deb's $program --version" "$("$deb/usr/bin/$program" --version)" "$program $version"
  # Built as Debian builds: PIE, stack protector, fortified calls, full RELRO and BIND_NOW.
  # (Control-flow marks need a C runtime start file that has them, which Debian 12's GCC lacks.)
  hardening-check --nocfprotection "$deb/usr/bin/$program" >"$work/hardening.log" 2>&1 ||
    fail "the .deb's $program is not hardened: $(grep -v ': yes' "$work/hardening.log" | tr '\n' ' ')"
done
dpkg-deb --ctrl-tarfile "$dist/tavelor_${version}_amd64.deb" | tar -t | sort | tr '\n' ' ' >"$work/control.txt"
expect "the .deb's maintainer scripts" "$(cat "$work/control.txt")" "./conffiles ./control ./md5sums ./postinst ./postrm ./prerm "
mkdir -m 700 "$work/ipc"
# Its folder read-only, as /usr/bin is to a user: the flight plan goes to the user's state folder.
mount --bind "$deb/usr/bin" "$deb/usr/bin" && mount -o remount,bind,ro "$deb/usr/bin"
read_only="$deb/usr/bin"
XDG_STATE_HOME="$work/state" TAVELOR_IPC_DIR="$work/ipc" \
  ip netns exec "$net" "$deb/usr/bin/tavelor-server" --sim --connect-now >"$work/deb-server.log" 2>&1 &
server=$!
wait_for 20 listening 9696 || fail "the .deb's tavelor-server --sim does not listen on 9696"
expect "the .deb's server, V177" "$(ask 9696 xxV177)" $'2.02a\r'
expect "the .deb's server, RADI" "$(ask 9696 xxRADI)" "$parked_radi"
ask 9696 "xxPLAX N45 E006" >/dev/null
expect "the .deb's server, the plan file" "$(cat "$work/state/tavelor/Quindrel.pln" 2>&1)" $'\uFEFFN45 E006'
kill -TERM "$server"
wait_for 10 gone "$server" || fail "the .deb's tavelor-server does not end on SIGTERM"
umount "$read_only" && read_only=""

echo "-- the .deb, installed, used, removed and purged"
# What the package may leave after a removal: its options file (a conffile, the user's to keep)
# and Debian's note of the unit's links with the mask over them; after a purge, nothing.
traces() {
  find /usr /etc /var/lib/systemd /lib/systemd -path /usr/share/doc -prune -o -print 2>/dev/null |
    { grep -i tavelor || true; } | sort
}
before=$(traces)
dpkg --purge tavelor >/dev/null 2>&1 || true
DEBIAN_FRONTEND=noninteractive dpkg -i "$dist/tavelor_${version}_amd64.deb" >"$work/dpkg.log" 2>&1 ||
  fail "dpkg -i failed (see $work/dpkg.log)"
installed_deb=yes
mkdir -p /etc/systemd/system/multi-user.target.wants  # as systemctl enable tavelor-web makes it
ln -sf /usr/lib/systemd/system/tavelor-web.service /etc/systemd/system/multi-user.target.wants/
XDG_STATE_HOME="$work/deb-state" TAVELOR_IPC_DIR="$work/ipc" \
  ip netns exec "$net" /usr/bin/tavelor-server --sim --connect-now >"$work/deb-installed.log" 2>&1 &
server=$!
wait_for 20 listening 9696 || fail "the installed tavelor-server --sim does not listen on 9696"
expect "the installed server, RADI" "$(ask 9696 xxRADI)" "$parked_radi"
[[ ! -e $work/deb-state/tavelor ]] || fail "the state folder was made before any plan"
kill -TERM "$server"
wait_for 10 gone "$server" || fail "the installed tavelor-server does not end on SIGTERM"
dpkg -r tavelor >>"$work/dpkg.log" 2>&1 || fail "dpkg -r failed (see $work/dpkg.log)"
expect "what a removal leaves" "$(comm -13 <(echo "$before") <(traces) | tr '\n' ' ')" \
  "/etc/default/tavelor-mqtt /etc/default/tavelor-web /etc/systemd/system/multi-user.target.wants/tavelor-web.service /etc/systemd/system/tavelor-mqtt.service /etc/systemd/system/tavelor-web.service /var/lib/systemd/deb-systemd-helper-enabled/tavelor-mqtt.service.dsh-also /var/lib/systemd/deb-systemd-helper-enabled/tavelor-web.service.dsh-also /var/lib/systemd/deb-systemd-helper-masked/tavelor-mqtt.service /var/lib/systemd/deb-systemd-helper-masked/tavelor-web.service "
dpkg --purge tavelor >>"$work/dpkg.log" 2>&1 || fail "dpkg --purge failed (see $work/dpkg.log)"
installed_deb=""
expect "what a purge leaves" "$(comm -13 <(echo "$before") <(traces) | tr '\n' ' ')" ""

echo "-- the installer, under Wine"
export WINEPREFIX="$work/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
wine_log="$work/wine.log"
in_net timeout 300 wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >>"$wine_log" 2>&1 ||
  fail "the Wine prefix cannot be made (see $wine_log)"
in_net timeout 120 wineserver -w
in_net timeout 30 wineserver -p30  # one server for the rest, in the namespace
drive="$WINEPREFIX/drive_c"
installed="$drive/Program Files/TavelorServer"
menu="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/TavelorServer"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\TavelorServer'
snapshot() { (cd "$drive" && find "Program Files" ProgramData | sort); }
before=$(snapshot)

in_net timeout 180 wine "$dist/TavelorServer-$version-setup.exe" /S >>"$wine_log" 2>&1 ||
  fail "the silent install failed (see $wine_log)"
expect "the installed files" "$(cd "$installed" && ls | sort)" \
  "$(printf '%s\n' "${windows_files[@]}" uninstall.exe | sort)"
expect "the Start menu" "$(cd "$menu" && ls | sort | tr '\n' '|')" \
  "Read me.lnk|TavelorServer with browser panels.lnk|TavelorServer.lnk|Try it without a simulator.lnk|Uninstall TavelorServer.lnk|"
in_net timeout 60 wine reg query "$uninstall_key" /v DisplayVersion 2>>"$wine_log" | grep -q "$version" ||
  fail "the uninstall entry does not name version $version"

for program in "${windows_files[@]}"; do
  [[ $program == *.exe ]] || continue
  # The window programs name themselves with .exe, the console ones without.
  said=$(in_net timeout 60 wine "$installed/$program" --version 2>>"$wine_log")
  said=${said%$'\r'}
  [[ $said == "${program%.exe} $version" ]] || expect "the installed $program --version" "$said" "$program $version"
done

# win_inspect.exe is the Wine tests' window inspector, from the same build.
close_server() { in_net timeout 30 wine "$root/build/mingw/win_inspect.exe" close 10000 >>"$wine_log" 2>&1; }
program='C:\Program Files\TavelorServer'
ip netns exec "$net" wine "$program\\tavelor-sim.exe" >>"$wine_log" 2>&1 &
sim=$!
ip netns exec "$net" wine "$program\\TavelorServer.exe" >>"$wine_log" 2>&1 &
server=$!
wait_for 90 listening 9696 || fail "the installed TavelorServer.exe does not listen on 9696"
expect "the installed server, V177" "$(ask 9696 xxV177)" $'2.02a\r'
expect "the installed server, RADI" "$(ask 9696 xxRADI)" "$parked_radi"
close_server || fail "the installed server's window cannot be closed"
wait_for 20 gone "$server" || fail "the installed server does not end with its window"
expect "the stand-in's quit" "$(ask 9697 $'quit\n')" "OK"
wait_for 20 gone "$sim" || fail "the installed stand-in does not end on quit"

# The "Try it without a simulator" shortcut: the stand-in, tavelor-web and the server.
ip netns exec "$net" wine "$program\\tavelor-launch.exe" --sim >>"$wine_log" 2>&1 &
launcher=$!
wait_for 90 listening 9696 || fail "the launcher's server does not listen on 9696"
wait_for 30 listening 9080 || fail "the launcher's tavelor-web does not listen on 9080"
expect "the launcher's server, V177" "$(ask 9696 xxV177)" $'2.02a\r'
page=$(ask 9080 $'GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n')
expect "tavelor-web's index" "${page%%$'\r'*}" "HTTP/1.1 200 OK"
close_server || fail "the launcher's server window cannot be closed"
wait_for 20 gone "$launcher" || fail "the launcher does not end with the server's window"
wait_for 20 free 9080 || fail "tavelor-web outlives the launcher"
wait_for 20 free 9697 || fail "the stand-in outlives the launcher"

echo "-- the uninstaller, under Wine"
# It runs from a copy of itself in the temporary folder, and the first one ends at once.
in_net timeout 60 wine "$installed/uninstall.exe" /S >>"$wine_log" 2>&1 || fail "the silent uninstall failed"
wait_for 60 test ! -e "$installed" || fail "the uninstaller leaves $(cd "$installed" && ls | tr '\n' ' ')"
expect "Program Files and ProgramData after the uninstall" "$(snapshot)" "$before"
! in_net timeout 60 wine reg query "$uninstall_key" >/dev/null 2>&1 || fail "the uninstall entry is still there"
echo "the packages passed"
