# Installing and packaging: `make package` builds a Debian package of a Release build
# (scripts/build-package.sh). An installed copy cannot write beside its executable, so a
# package is only made of a build that keeps its files in the user's own data folder.
if(NOT UNIX OR APPLE)
  return() # Windows: windeployqt and packaging/windows/ (docs/windows.md)
endif()

include(GNUInstallDirs)
set(KELVORY_PACKAGE_MAINTAINER "Kelvory volunteers <kelvory@example.org>" CACHE STRING
    "Name and address in the package's Maintainer field")

set(here ${PROJECT_SOURCE_DIR}/packaging/linux)
set(out ${PROJECT_BINARY_DIR}/packaging)

if(KELVORY_DATA_FOLDER STREQUAL "program")
  install(CODE "message(FATAL_ERROR \"This build keeps its files beside its executable, where an installed copy \"
    \"cannot write: configure it with -DKELVORY_DATA_FOLDER=user (make package does)\")")
endif()

# The changelog's newest entry names the version it belongs to.
file(STRINGS ${here}/changelog newest LIMIT_COUNT 1)
if(NOT newest MATCHES "^kelvory \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/linux/changelog begins with '${newest}': give it an entry for ${PROJECT_VERSION}")
endif()

configure_file(${here}/kelvory.desktop.in ${out}/kelvory.desktop @ONLY)
# Debian wants the manual page and the changelog compressed at the highest level, with no
# time stamp inside, so that the same sources give the same package.
find_program(KELVORY_GZIP gzip REQUIRED)
foreach(name kelvory.1 changelog)
  add_custom_command(OUTPUT ${out}/${name}.gz
    COMMAND ${KELVORY_GZIP} -9nc ${here}/${name} > ${out}/${name}.gz
    DEPENDS ${here}/${name} VERBATIM)
  list(APPEND compressed ${out}/${name}.gz)
endforeach()
add_custom_target(kelvory_package_files ALL DEPENDS ${compressed})

install(TARGETS kelvory RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${out}/kelvory.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/resources/kelvory.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${out}/kelvory.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${here}/copyright ${out}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kelvory)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelvory)
set(CPACK_PACKAGE_VENDOR "Kelvory volunteers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "membership roster of a senior citizens' club")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Kelvory lists every member of the club from the club's shared database (an
SQLite file of each user's own, or SQL Server through ODBC) in a grid. A
volunteer adds, updates and deletes members, prints the roster and mailing
labels, exports it for a spreadsheet and reads the journal of changes.
Each user's files stay in their own folder, ~/.local/share/Kelvory.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KELVORY_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the program links are found by dpkg-shlibdeps; what it loads or runs by
# name is listed here: Qt's SQL drivers and window-system plugins, the ODBC tools and the
# FreeTDS driver, and the faces that stand in for Times New Roman and MS Sans Serif.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6sql6-sqlite, libqt6sql6-odbc, qt6-qpa-plugins, unixodbc, odbcinst, tdsodbc, fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)

if(NOT KELVORY_SERVER STREQUAL "")
  set(KELVORY_PACKAGE_LIBDIR ${CMAKE_INSTALL_FULL_LIBEXECDIR}/kelvory)
  install(PROGRAMS ${PROJECT_SOURCE_DIR}/scripts/register-sqlserver-driver.sh
          DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/kelvory)
  configure_file(${here}/postinst.in ${out}/control/postinst @ONLY
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${out}/control/postinst)
endif()

include(CPack)
