# What an installed copy consists of: `make package` builds the Debian packages from debian/
# (scripts/build-package.sh), whose rules install a build of this tree. An installed copy
# cannot write beside its executable, so only a build that keeps its files in the user's
# own data folder installs.
if(NOT UNIX OR APPLE)
  return() # Windows: windeployqt and packaging/windows/ (docs/windows.md)
endif()

include(GNUInstallDirs)
set(KELVORY_HOMEPAGE "https://www.example.org/kelvory/" CACHE STRING
    "The club's page about the program (AppStream metadata; its screenshot is main-window.png there)")

if(NOT KELVORY_DATA_FOLDER STREQUAL "user")
  install(CODE "message(FATAL_ERROR \"This build keeps its files beside its executable, where an installed copy \"
    \"cannot write: configure it with -DKELVORY_DATA_FOLDER=user (debian/rules does)\")")
  return()
endif()

set(here ${PROJECT_SOURCE_DIR}/packaging/linux)
set(out ${PROJECT_BINARY_DIR}/packaging)

# The package's version is the changelog's newest entry.
file(STRINGS ${PROJECT_SOURCE_DIR}/debian/changelog newest LIMIT_COUNT 1)
if(NOT newest MATCHES "^kelvory \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "debian/changelog begins with '${newest}': give it an entry for ${PROJECT_VERSION}")
endif()
string(TIMESTAMP KELVORY_RELEASE_DATE "%Y-%m-%d" UTC) # SOURCE_DATE_EPOCH, in a package build

configure_file(${here}/kelvory.desktop.in ${out}/kelvory.desktop @ONLY)
configure_file(${here}/kelvory.metainfo.xml.in ${out}/org.example.kelvory.metainfo.xml @ONLY)

# The menu and software centres want bitmaps at these sizes beside the SVG.
find_program(KELVORY_RSVG_CONVERT rsvg-convert REQUIRED)
foreach(size 48 64 128 256)
  set(png ${out}/icons/${size}/kelvory.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${out}/icons/${size}
    COMMAND ${KELVORY_RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${PROJECT_SOURCE_DIR}/resources/kelvory.svg
    DEPENDS ${PROJECT_SOURCE_DIR}/resources/kelvory.svg VERBATIM)
  list(APPEND pngs ${png})
  install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
add_custom_target(kelvory_package_files ALL DEPENDS ${pngs})

install(TARGETS kelvory RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${out}/kelvory.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${out}/org.example.kelvory.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/resources/kelvory.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${here}/kelvory.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# A server build brings the driver entry its maintainer scripts hand to odbcinst: FreeTDS
# under the name the connection string asks for.
if(NOT KELVORY_SERVER STREQUAL "")
  configure_file(${here}/odbcinst.ini.in ${out}/odbcinst.ini @ONLY)
  install(FILES ${out}/odbcinst.ini DESTINATION ${CMAKE_INSTALL_DATADIR}/kelvory)
endif()
