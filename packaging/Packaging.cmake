# The two ways Pagelume ships:
#  - "dist": build/dist/Pagelume/, the self-installing folder (the program as
#    "Install" beside every file of data/);
#  - a Debian package made by CPack ("cpack -G DEB" in the build folder): the
#    program as /usr/bin/pagelume, its files in /usr/share/pagelume, a menu
#    entry and an icon.
include(GNUInstallDirs)

set(PAGELUME_DIST_DIR ${CMAKE_BINARY_DIR}/dist/Pagelume)
if(CMAKE_STRIP)
  set(PAGELUME_DIST_STRIP COMMAND ${CMAKE_STRIP} --strip-unneeded ${PAGELUME_DIST_DIR}/Install)
endif()
add_custom_target(dist
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${PAGELUME_DIST_DIR}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PAGELUME_DIST_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/data ${PAGELUME_DIST_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:Pagelume> ${PAGELUME_DIST_DIR}/Install
  ${PAGELUME_DIST_STRIP}
  DEPENDS Pagelume
  COMMENT "Distribution folder ${PAGELUME_DIST_DIR}"
  VERBATIM)

install(PROGRAMS $<TARGET_FILE:Pagelume> DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME pagelume)
# The package ships the program without its debugging information.
if(CMAKE_STRIP)
  install(CODE "execute_process(COMMAND ${CMAKE_STRIP} --strip-unneeded
                \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/pagelume\")")
endif()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/ DESTINATION ${CMAKE_INSTALL_DATADIR}/pagelume)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/pagelume.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/data/Pagelume.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME pagelume.svg)
install(FILES ${PROJECT_SOURCE_DIR}/data/Pagelume.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/128x128/apps RENAME pagelume.png)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pagelume)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Pagelume developers")
set(CPACK_PACKAGE_CONTACT "Pagelume developers <pagelume@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Reader for plain-text and rich-text books")
set(CPACK_PACKAGE_DESCRIPTION
    "Pagelume shows .txt and .rtf books full screen, rebuilding plain-text books into paragraphs, with a bookshelf, bookmarks, profiles, colour schemes and background pictures and sounds.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://pagelume.example.org/")
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libc6, libstdc++6, libgcc-s1, libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), libqt6printsupport6 (>= 6.4), libqt6multimedia6 (>= 6.4)")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation")
include(CPack)
