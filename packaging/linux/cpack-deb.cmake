# CPack's Debian package of a folder laid out as the system's root, from scripts/package.sh:
#   cpack --config packaging/linux/cpack-deb.cmake \
#         -D CPACK_PACKAGE_VERSION=2.02 -D "CPACK_INSTALLED_DIRECTORIES=ROOT;/" -D CPACK_PACKAGE_DIRECTORY=OUT
# CPack gives it the dependencies the programs' libraries need (dpkg-shlibdeps), the files'
# checksums and owners; no maintainer script: nothing is enabled or started.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavelor)
# The name of CPack's work folder; the .deb itself is named by Debian's rule: tavelor_2.02_amd64.deb.
set(CPACK_PACKAGE_FILE_NAME "tavelor-${CPACK_PACKAGE_VERSION}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_PACKAGE_CONTACT "The TavelorServer developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "cockpit-panel server beside a flight simulator, with browser panels")
set(CPACK_PACKAGE_DESCRIPTION "TavelorServer lets cockpit-panel programs read the simulated aircraft
and operate its controls over TCP port 9696. This package has the Linux
programs: tavelor-server, run against the stand-in simulator (tavelor-server
--sim); tavelor-web, the instruments in a browser, with a systemd unit that
is not enabled; tavelor-sim, the stand-in on its own; and tavelor-probe, a
panel author's client.")
set(CPACK_PACKAGING_INSTALL_PREFIX /)
set(CPACK_SET_DESTDIR OFF)
