# What `cmake --install` lays out, and what CPack packs of it: on Linux the programs, their
# documents and the systemd units under a prefix (/usr in the .deb), on Windows the programs,
# the launcher and the documents side by side, as the zip and the installer hold them.
#
#   cmake --install build/release --prefix /tmp/scratch --strip
#   cpack --config build/release/CPackConfig.cmake     # the .deb (the zip from build/mingw)

set(TAVELOR_NOTICES ${PROJECT_SOURCE_DIR}/packaging/THIRD-PARTY-NOTICES.txt)

# The README and the four references as one HTML file each, the pictures inside and the links
# between them leading to one another (Debian's Python with python3-markdown), into `folder`
# under the prefix.
function(tavelor_install_documents folder)
  install(CODE "
    set(into \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${folder}\")
    file(MAKE_DIRECTORY \${into})
    foreach(pair \"README.md;README.html\" \"docs/protocol.md;protocol.html\" \"docs/pages.md;pages.html\"
                 \"docs/recording.md;recording.html\" \"docs/flightgear.md;flightgear.html\")
      list(GET pair 0 document)
      list(GET pair 1 html)
      execute_process(COMMAND /usr/bin/python3 ${PROJECT_SOURCE_DIR}/packaging/docs_html.py
                              ${PROJECT_SOURCE_DIR}/\${document} \${into}/\${html}
                      RESULT_VARIABLE failed)
      if(failed)
        message(FATAL_ERROR \"\${document} could not be written as HTML (python3-markdown?)\")
      endif()
    endforeach()
  ")
endfunction()

if(WIN32)
  install(TARGETS TavelorServer tavelor-web tavelor-sim tavelor-probe tavelor-launch RUNTIME DESTINATION .)
  # The documents as a Windows user opens them: HTML with the pictures inside, the texts with
  # CR LF.
  tavelor_install_documents(.)
  install(CODE "
    set(root \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
    foreach(pair \"LICENSE;LICENSE.txt\" \"packaging/THIRD-PARTY-NOTICES.txt;THIRD-PARTY-NOTICES.txt\")
      list(GET pair 0 from)
      list(GET pair 1 to)
      file(READ ${PROJECT_SOURCE_DIR}/\${from} text)
      string(REPLACE \"\\r\\n\" \"\\n\" text \"\${text}\")
      string(REPLACE \"\\n\" \"\\r\\n\" text \"\${text}\")
      file(WRITE \${root}/\${to} \"\${text}\")
    endforeach()
  ")
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME "TavelorServer-${PROJECT_VERSION}-windows-x64")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  include(GNUInstallDirs)
  install(TARGETS tavelor-server tavelor-web tavelor-mqtt tavelor-sim tavelor-probe RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  set(TAVELOR_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/tavelor)
  tavelor_install_documents(${TAVELOR_DOC_DIR})
  # Debian's copyright file: the licence, then the notices of the code built into the programs.
  file(READ ${PROJECT_SOURCE_DIR}/LICENSE license)
  file(READ ${TAVELOR_NOTICES} notices)
  file(WRITE ${CMAKE_BINARY_DIR}/generated/copyright "${license}\n${notices}")
  install(FILES ${CMAKE_BINARY_DIR}/generated/copyright DESTINATION ${TAVELOR_DOC_DIR})
  install(FILES packaging/linux/tavelor-web.service packaging/linux/tavelor-mqtt.service DESTINATION lib/systemd/system)
  # The services' options, every one commented: in /etc/default for a prefix of /usr (the .deb's;
  # file(INSTALL) puts DESTDIR, CPack's folder, in front), else under the prefix (a scratch
  # install).
  install(CODE "
    if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
      set(etc /etc)
    else()
      set(etc \"\${CMAKE_INSTALL_PREFIX}/etc\")
    endif()
    foreach(service tavelor-web tavelor-mqtt)
      file(INSTALL ${PROJECT_SOURCE_DIR}/packaging/linux/\${service}.default DESTINATION \${etc}/default
           RENAME \${service} PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
    endforeach()
  ")

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME tavelor)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  # The name of CPack's work folder; the .deb itself is named by Debian's rule: tavelor_2.02_amd64.deb.
  set(CPACK_PACKAGE_FILE_NAME "tavelor-${PROJECT_VERSION}")
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
  # The dependencies the programs' libraries need, from dpkg-shlibdeps.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_SECTION misc)
  # The units' maintainer scripts: stopped on removal, its enable links kept as Debian's helper
  # keeps them (packaging/linux/).
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/linux/postinst
      ${PROJECT_SOURCE_DIR}/packaging/linux/prerm ${PROJECT_SOURCE_DIR}/packaging/linux/postrm
      ${PROJECT_SOURCE_DIR}/packaging/linux/conffiles)

  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_PACKAGE_CONTACT "The TavelorServer developers")
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "cockpit-panel server beside a flight simulator, with browser panels and MQTT")
  set(CPACK_PACKAGE_DESCRIPTION "TavelorServer lets cockpit-panel programs read the simulated aircraft
and operate its controls over TCP port 9696. This package has the Linux
programs: tavelor-server, run against the stand-in simulator (tavelor-server
--sim); tavelor-web, the instruments in a browser, and tavelor-mqtt, the
values to an MQTT broker for hardware panels and commands back, each with a
systemd unit that is not enabled; tavelor-sim, the stand-in on its own; and
tavelor-probe, a panel author's client.")
  # The maintainer scripts use Debian's systemd helpers.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "init-system-helpers (>= 1.54)")
endif()

set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
include(CPack)
