# The two ways Pagelume ships:
#  - "dist": build/dist/Pagelume/, the self-installing folder (the program as
#    "Install" beside the sound module, every file of data/ and the
#    software-centre metadata);
#  - a Debian package made by CPack ("cpack -G DEB" in the build folder): the
#    program as /usr/bin/pagelume, its sound module in /usr/lib/pagelume, its
#    files in /usr/share/pagelume, a menu
#    entry, an icon, the software-centre metadata, the manual page, and the
#    copyright and changelog files Debian asks for.
include(GNUInstallDirs)

set(PAGELUME_DIST_DIR ${CMAKE_BINARY_DIR}/dist/Pagelume)
if(CMAKE_STRIP)
  set(PAGELUME_DIST_STRIP COMMAND ${CMAKE_STRIP} --strip-unneeded ${PAGELUME_DIST_DIR}/Install
      ${PAGELUME_DIST_DIR}/pagelume-sound.so)
endif()
add_custom_target(dist
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${PAGELUME_DIST_DIR}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PAGELUME_DIST_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/data ${PAGELUME_DIST_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:Pagelume> ${PAGELUME_DIST_DIR}/Install
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:pagelume_sound> ${PAGELUME_DIST_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/packaging/io.github.pagelume.Pagelume.metainfo.xml
          ${PAGELUME_DIST_DIR}
  ${PAGELUME_DIST_STRIP}
  DEPENDS Pagelume pagelume_sound
  COMMENT "Distribution folder ${PAGELUME_DIST_DIR}"
  VERBATIM)

install(PROGRAMS $<TARGET_FILE:Pagelume> DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME pagelume)
# The package ships the program without its debugging information.
if(CMAKE_STRIP)
  install(CODE "execute_process(COMMAND ${CMAKE_STRIP} --strip-unneeded
                \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/pagelume\")")
endif()
# The sound module (loaded at the first sound) in the package's library folder.
install(TARGETS pagelume_sound LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/pagelume)
if(CMAKE_STRIP)
  install(CODE "execute_process(COMMAND ${CMAKE_STRIP} --strip-unneeded
                \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pagelume/pagelume-sound.so\")")
endif()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/ DESTINATION ${CMAKE_INSTALL_DATADIR}/pagelume)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/pagelume.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/data/Pagelume.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME pagelume.svg)
install(FILES ${PROJECT_SOURCE_DIR}/data/Pagelume.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/128x128/apps RENAME pagelume.png)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/io.github.pagelume.Pagelume.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The manual page and the changelog go in compressed the way Debian wants
# them: gzip -9, without a time stamp (-n).
find_program(PAGELUME_GZIP gzip REQUIRED)
set(PAGELUME_DOC_DIR ${CMAKE_BINARY_DIR}/packaging)
add_custom_command(OUTPUT ${PAGELUME_DOC_DIR}/pagelume.1.gz ${PAGELUME_DOC_DIR}/changelog.Debian.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PAGELUME_DOC_DIR}
  COMMAND sh -c "${PAGELUME_GZIP} -9n < \"$0\" > \"$1\"" ${PROJECT_SOURCE_DIR}/packaging/pagelume.1
          ${PAGELUME_DOC_DIR}/pagelume.1.gz
  COMMAND sh -c "${PAGELUME_GZIP} -9n < \"$0\" > \"$1\"" ${PROJECT_SOURCE_DIR}/packaging/changelog.Debian
          ${PAGELUME_DOC_DIR}/changelog.Debian.gz
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/pagelume.1 ${PROJECT_SOURCE_DIR}/packaging/changelog.Debian
  COMMENT "" VERBATIM)
add_custom_target(pagelume_package_docs ALL
  DEPENDS ${PAGELUME_DOC_DIR}/pagelume.1.gz ${PAGELUME_DOC_DIR}/changelog.Debian.gz)
install(FILES ${PAGELUME_DOC_DIR}/pagelume.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${PAGELUME_DOC_DIR}/changelog.Debian.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/pagelume)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pagelume)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# The Debian revision: the package is not a native one (its changelog is
# changelog.Debian.gz), and a rebuilt package of the same program counts up.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_PACKAGE_VENDOR "Pagelume developers")
set(CPACK_PACKAGE_CONTACT "Pagelume developers <pagelume@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Reader for plain-text and rich-text books")
# Lines of at most 80 characters: the package's long description.
set(CPACK_PACKAGE_DESCRIPTION
    "Pagelume shows .txt and .rtf books full screen, rebuilding plain-text books\ninto paragraphs, with a bookshelf, bookmarks, profiles, colour schemes and\nbackground pictures and sounds.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://pagelume.example.org/")
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libc6, libstdc++6, libgcc-s1, libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), libqt6printsupport6 (>= 6.4), libqt6multimedia6 (>= 6.4), libqt6network6 (>= 6.4), libqt6texttospeech6 (>= 6.4), libhyphen0, libxcb1")
# xdg-utils opens links, the help and downloaded files; goldendict is the
# default dictionary program; the speech plug-in and speech-dispatcher with its
# espeak-ng module are the voice that reads books aloud; the hyphenation
# patterns break long words of books in these languages.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "fonts-liberation, xdg-utils, goldendict, qt6-speech-speechd-plugin, speech-dispatcher, speech-dispatcher-espeak-ng, hyphen-en-us | hyphen-en-gb, hyphen-fr, hyphen-de, hyphen-es, hyphen-it, hyphen-ru, hyphen-pt-pt")
include(CPack)
