# SPDX-License-Identifier: GPL-3.0-or-later
# Install rules that need every executable known (manual pages, software-centre
# file, package documents) and the Debian package made by `cpack -G DEB`.
# Included at the end of the top-level CMakeLists.txt.

set(VANDREL_PACKAGE_MAINTAINER "Vandrel developers <vandrel@example.org>"
    CACHE STRING "Maintainer named in the Debian package and its changelog")

# The executables this build installs into the binary folder.
set(_installed_programs)
foreach(t vandrel vandrel-cli vandrel-station vandrel-meter-sim)
  if(TARGET ${t})
    list(APPEND _installed_programs ${t})
  endif()
endforeach()

# Manual pages, compressed the way Debian wants them: best compression, no
# name or time stamp inside, so that the same page gives the same bytes.
# A page whose source is not there yet is left out rather than failing.
set(_docs_out ${CMAKE_BINARY_DIR}/package-docs)
set(_compressed)
foreach(t IN LISTS _installed_programs)
  set(_page ${PROJECT_SOURCE_DIR}/docs/man/${t}.1)
  if(EXISTS ${_page})
    add_custom_command(OUTPUT ${_docs_out}/${t}.1.gz
      COMMAND ${CMAKE_COMMAND} -E copy ${_page} ${_docs_out}/${t}.1
      COMMAND gzip -9nf ${_docs_out}/${t}.1
      DEPENDS ${_page} VERBATIM)
    list(APPEND _compressed ${_docs_out}/${t}.1.gz)
    install(FILES ${_docs_out}/${t}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
endforeach()

configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog.in ${_docs_out}/changelog @ONLY)
add_custom_command(OUTPUT ${_docs_out}/changelog.gz
  COMMAND gzip -9nkf ${_docs_out}/changelog
  DEPENDS ${_docs_out}/changelog VERBATIM)
list(APPEND _compressed ${_docs_out}/changelog.gz)
add_custom_target(vandrel_package_docs ALL DEPENDS ${_compressed})

# Debian looks for these under the package's name, not the project's.
set(_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/vandrel)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${_docs_out}/changelog.gz DESTINATION ${_doc_dir})

# The monitoring station's service, its system user and an example
# configuration. The service is installed, not enabled: it needs the
# configuration of the user's meters first.
if(TARGET vandrel-station)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/station/vandrel-station.service DESTINATION lib/systemd/system)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/station/vandrel-sysusers.conf DESTINATION lib/sysusers.d RENAME vandrel.conf)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/station/station.conf.example DESTINATION ${_doc_dir}/examples
          RENAME station.conf)
endif()

set(VANDREL_METAINFO_BINARIES)
foreach(t IN LISTS _installed_programs)
  string(APPEND VANDREL_METAINFO_BINARIES "    <binary>${t}</binary>\n")
endforeach()
string(STRIP "${VANDREL_METAINFO_BINARIES}" VANDREL_METAINFO_BINARIES)
set(VANDREL_METAINFO_BINARIES "    ${VANDREL_METAINFO_BINARIES}")
configure_file(${PROJECT_SOURCE_DIR}/resources/vandrel.metainfo.xml.in ${_docs_out}/vandrel.metainfo.xml @ONLY)
install(FILES ${_docs_out}/vandrel.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The Debian package. Its library dependencies are read from the executables
# (dpkg-shlibdeps); what they load at run time as plug-ins is named by hand.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vandrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${VANDREL_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VANDREL_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The SVG image plug-in draws the toolbar and the icon; the help page opens
# through the desktop's default browser.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
# The station's system user is made on installation (the service stays disabled).
if(TARGET vandrel-station)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/station/postinst)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
endif()
# The first line of the package's description is the project's description.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Vandrel talks to the handheld humidity and temperature meters of models
520, 540, 560 and 580 on a serial port, usually a USB serial adapter.
It finds the meter by itself and shows a live copy of its display whose
keys work like the real ones.
It records real-time runs into tables and graphs, saves them as
tab- or comma-separated text, prints them, and downloads the memory of
the logging models. A simulated meter lets you try it without hardware.")
include(CPack)
