# The installed layout, `cmake --install` and `make package` (a .deb made by CPack).
#
#   bin/corvane-studio                      the program
#   lib/corvane-studio/                     the engine, the preview library, the program's own libraries
#   share/corvane-studio/                   read-only data: profiles, languages, help, default settings
#   share/applications, share/metainfo, share/icons/hicolor, share/man/man1, share/doc/corvane-studio
#   lib/systemd/user/corvane-studio-watch@.service   the watched folder as a user service
#
# The program finds lib/ and share/ relative to its own folder (src/core/settings/AppFolders), so any
# prefix works; the two relative paths below are compiled into it.
include(GNUInstallDirs)

set(CORVANE_INSTALL_LIBDIR lib/corvane-studio)
set(CORVANE_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/corvane-studio)
set(CORVANE_DESKTOP_ID org.corvanestudio.CorvaneStudio)
set(CORVANE_PACKAGE_PREFIX /usr)
file(RELATIVE_PATH CORVANE_LIBRARY_FROM_BIN /${CMAKE_INSTALL_BINDIR} /${CORVANE_INSTALL_LIBDIR})
file(RELATIVE_PATH CORVANE_DATA_FROM_BIN /${CMAKE_INSTALL_BINDIR} /${CORVANE_INSTALL_DATADIR})
configure_file(${CMAKE_SOURCE_DIR}/src/core/settings/BuildInfo.h.in ${CMAKE_BINARY_DIR}/generated/BuildInfo.h @ONLY)
target_include_directories(corvane_core PUBLIC ${CMAKE_BINARY_DIR}/generated)

# The program's own shared libraries, installed beside the engine and found through the
# program's RUNPATH. Adding a library target to this list is all a new one needs.
set(CORVANE_PRIVATE_LIBRARIES corvane_core corvane_ui)

install(TARGETS corvane-studio RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS mirracore RUNTIME DESTINATION ${CORVANE_INSTALL_LIBDIR})
install(TARGETS mirracore_convert mirracore_devices LIBRARY DESTINATION ${CORVANE_INSTALL_LIBDIR})
install(TARGETS preview ${CORVANE_PRIVATE_LIBRARIES}
        LIBRARY DESTINATION ${CORVANE_INSTALL_LIBDIR}
        NAMELINK_SKIP)
if(CORVANE_PRIVATE_LIBRARIES)
  set_target_properties(corvane-studio PROPERTIES INSTALL_RPATH "$ORIGIN/${CORVANE_LIBRARY_FROM_BIN}")
  # A RUNPATH serves only its own file: each library finds its siblings by itself.
  set_target_properties(${CORVANE_PRIVATE_LIBRARIES} PROPERTIES INSTALL_RPATH "$ORIGIN")
endif()

install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/ DESTINATION ${CORVANE_INSTALL_DATADIR}
        PATTERN CMakeLists.txt EXCLUDE)

# Desktop integration. Nothing here runs a cache tool: the package managers' triggers do.
set(_dist ${CMAKE_SOURCE_DIR}/dist)
install(FILES ${_dist}/${CORVANE_DESKTOP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${_dist}/${CORVANE_DESKTOP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 22 24 32 48 64 128 256)
  install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/app/app-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${CORVANE_DESKTOP_ID}.png)
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/app/app.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${CORVANE_DESKTOP_ID}.svg)

# Debian wants the manual page and the changelog compressed, without a time stamp inside.
set(CORVANE_INSTALL_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/corvane-studio)
find_program(GZIP_PROGRAM gzip REQUIRED)
set(_compressed)
foreach(name corvane-studio.1 changelog)
  set(_out ${CMAKE_BINARY_DIR}/dist/${name})
  add_custom_command(OUTPUT ${_out}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${_dist}/${name} ${_out}
    COMMAND ${GZIP_PROGRAM} -9nf ${_out}
    DEPENDS ${_dist}/${name} VERBATIM)
  list(APPEND _compressed ${_out}.gz)
endforeach()
add_custom_target(corvane_dist ALL DEPENDS ${_compressed})
install(FILES ${CMAKE_BINARY_DIR}/dist/corvane-studio.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_BINARY_DIR}/dist/changelog.gz ${_dist}/copyright DESTINATION ${CORVANE_INSTALL_DOCDIR})

# The watched folder as a systemd user service. The unit names the program by its installed
# path, which is known only when installing (a package installs under /usr).
set(CORVANE_USER_UNITDIR lib/systemd/user)
install(FILES ${_dist}/watch.env DESTINATION ${CORVANE_INSTALL_DOCDIR}/examples)
install(CODE "
  set(CORVANE_WATCH_PROGRAM \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/corvane-studio\")
  set(CORVANE_WATCH_EXAMPLE \"\${CMAKE_INSTALL_PREFIX}/${CORVANE_INSTALL_DOCDIR}/examples/watch.env\")
  configure_file(\"${_dist}/corvane-studio-watch@.service.in\" \"${CMAKE_BINARY_DIR}/dist/corvane-studio-watch@.service\" @ONLY)
  file(INSTALL \"${CMAKE_BINARY_DIR}/dist/corvane-studio-watch@.service\"
       DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CORVANE_USER_UNITDIR}\" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
")

# make package: a .deb named and described the Debian way.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvane-studio)
set(CPACK_PACKAGE_VENDOR "CorvaneStudio")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "CorvaneStudio developers <feedback@corvane.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "video converter with conversion profiles and preview")
set(CPACK_PACKAGE_DESCRIPTION_FILE ${_dist}/description.txt)
set(CPACK_PACKAGE_INSTALL_DIRECTORY corvane-studio)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CORVANE_PACKAGE_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://corvane-studio.example/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CORVANE_BIN})
# Wayland sessions get native windows with it; without it Qt falls back to XWayland.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-wayland)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
