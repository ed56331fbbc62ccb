#!/usr/bin/env bash
# Builds the downloads, from a clean checkout, into dist/:
#
#   TavelorServer-VERSION-windows-x64.zip   the Windows programs, the launcher, the documents
#   TavelorServer-VERSION-setup.exe         the same as an installer (NSIS)
#   tavelor_VERSION_amd64.deb               the Linux programs, the documents, tavelor-web's and tavelor-mqtt's units
#   SHA256SUMS                              the three files' SHA-256 sums (sha256sum -c SHA256SUMS)
#
# VERSION is the project's, from CMakeLists.txt. What goes in them is what `cmake --install` lays
# out (cmake/install.cmake), packed by CPack and, for the installer, by NSIS;
# scripts/check-packages.sh tests the three.
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
cmake --build --preset release --target tavelor-server tavelor-web tavelor-mqtt tavelor-sim tavelor-probe

work="$root/build/package"
dist="$root/dist"
rm -rf "$work" "$windows_bin/packages" build/release/packages
mkdir -p "$work" "$dist"
rm -f "$dist"/TavelorServer-*-windows-x64.zip "$dist"/TavelorServer-*-setup.exe "$dist"/tavelor_*.deb \
  "$dist"/SHA256SUMS

# What goes in each is the install rules' (cmake/install.cmake); CPack packs the zip and the .deb.
name="TavelorServer-$version-windows-x64"
cpack --config "$windows_bin/CPackConfig.cmake" >"$work/cpack-zip.log"
mv "$windows_bin/packages/$name.zip" "$dist/"
cpack --config build/release/CPackConfig.cmake >"$work/cpack-deb.log"
mv "build/release/packages/tavelor_${version}_amd64.deb" "$dist/"

# The installer holds the zip's files, laid out by the same rules; what it installs and what
# its uninstaller removes are one list.
stage="$work/$name"
cmake --install "$windows_bin" --prefix "$stage" --strip >/dev/null
(cd "$stage" && printf '!insertmacro TavelorFile "%s"\n' *) >"$work/windows-files.nsh"
makensis -V2 -DVERSION="$version" -DSTAGE="$stage" -DFILES="$work/windows-files.nsh" \
  -DOUTFILE="$dist/TavelorServer-$version-setup.exe" packaging/windows/installer.nsi

cd "$dist"
sha256sum "$name.zip" "TavelorServer-$version-setup.exe" "tavelor_${version}_amd64.deb" >SHA256SUMS
cat SHA256SUMS
