#!/usr/bin/env bash
# Builds the downloads, from a clean checkout, into dist/:
#
#   TavelorServer-VERSION-windows-x64.zip   the Windows programs, the launcher, the documents
#   TavelorServer-VERSION-setup.exe         the same as an installer (NSIS)
#   tavelor_VERSION_amd64.deb               the Linux programs, the documents, tavelor-web's unit
#   SHA256SUMS                              the three files' SHA-256 sums (sha256sum -c SHA256SUMS)
#
# VERSION is the project's, from CMakeLists.txt. What goes in them is laid out in build/package/
# first; scripts/check-packages.sh tests the three.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

scripts/install-deps.sh --windows --package

version=$(sed -n 's/^project(TavelorServer VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
if [[ -z $version ]]; then
  echo "package.sh: no version in CMakeLists.txt's project(TavelorServer VERSION ...)" >&2
  exit 1
fi

windows_bin=$(scripts/build-windows.sh | tail -n 1)
[[ -f build/release/CMakeCache.txt ]] || cmake --preset release >/dev/null
linux_programs=(tavelor-server tavelor-web tavelor-sim tavelor-probe)
cmake --build --preset release --target "${linux_programs[@]}"

work="$root/build/package"
dist="$root/dist"
rm -rf "$work"
mkdir -p "$work" "$dist"
rm -f "$dist"/TavelorServer-*-windows-x64.zip "$dist"/TavelorServer-*-setup.exe "$dist"/tavelor_*.deb \
  "$dist"/SHA256SUMS

# The documents as a Windows user opens them: HTML with the pictures inside, text with CR LF.
python=/usr/bin/python3  # Debian's, which has python3-markdown
windows_text() { sed 's/\r*$/\r/' "$1" >"$2"; }

# The Windows folder: exactly these files, in the zip under a folder of the package's name, and
# installed by the installer (and removed by its uninstaller) from the same list.
name="TavelorServer-$version-windows-x64"
windows_programs=(TavelorServer.exe tavelor-web.exe tavelor-sim.exe tavelor-probe.exe tavelor-launch.exe)
windows_files=("${windows_programs[@]}" README.html protocol.html pages.html LICENSE.txt THIRD-PARTY-NOTICES.txt)
stage="$work/$name"
mkdir -p "$stage"
for program in "${windows_programs[@]}"; do
  x86_64-w64-mingw32-strip -o "$stage/$program" "$windows_bin/$program"
done
"$python" packaging/docs_html.py README.md "$stage/README.html"
for reference in protocol pages; do
  "$python" packaging/docs_html.py "docs/$reference.md" "$stage/$reference.html"
done
windows_text LICENSE "$stage/LICENSE.txt"
windows_text packaging/THIRD-PARTY-NOTICES.txt "$stage/THIRD-PARTY-NOTICES.txt"

(cd "$work" && zip -q -r -X "$dist/$name.zip" "$name")
printf '!insertmacro TavelorFile "%s"\n' "${windows_files[@]}" >"$work/windows-files.nsh"
makensis -V2 -DVERSION="$version" -DSTAGE="$stage" -DFILES="$work/windows-files.nsh" \
  -DOUTFILE="$dist/TavelorServer-$version-setup.exe" packaging/windows/installer.nsi

# The Debian package's root: the programs in /usr/bin, their documents, tavelor-web's unit.
deb_root="$work/deb-root"
doc="$deb_root/usr/share/doc/tavelor"
mkdir -p "$deb_root/usr/bin" "$doc" "$deb_root/usr/lib/systemd/system"
for program in "${linux_programs[@]}"; do
  strip -o "$deb_root/usr/bin/$program" "build/release/$program"
done
install -m 644 packaging/linux/tavelor-web.service "$deb_root/usr/lib/systemd/system/"
install -m 644 README.md docs/protocol.md docs/pages.md "$doc/"
cat LICENSE - packaging/THIRD-PARTY-NOTICES.txt <<<"" >"$doc/copyright"
chmod -R u=rwX,go=rX "$deb_root"
cpack --config packaging/linux/cpack-deb.cmake -D CPACK_PACKAGE_VERSION="$version" \
  -D "CPACK_INSTALLED_DIRECTORIES=$deb_root;/" -D CPACK_PACKAGE_DIRECTORY="$work/cpack" >"$work/cpack.log"
mv "$work/cpack/tavelor_${version}_amd64.deb" "$dist/"

cd "$dist"
sha256sum "$name.zip" "TavelorServer-$version-setup.exe" "tavelor_${version}_amd64.deb" >SHA256SUMS
cat SHA256SUMS
