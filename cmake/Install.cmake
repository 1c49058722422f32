# Install rules and the Debian package: the three programs, the menu entry, the icon, the AppStream
# metainfo, the man pages (English and Japanese) and the user manual.
include(GNUInstallDirs)
# Debian's documentation folder is named after the package, in lower case.
set(TARVELL_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/tarvell)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(TARVELL_DATA ${PROJECT_SOURCE_DIR}/data)
install(TARGETS tarvell tarvell-config tarvell-batch RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${TARVELL_DATA}/org.example.tarvell.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${TARVELL_DATA}/org.example.tarvell.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${TARVELL_DATA}/icons/tarvell.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 32 48 64 128 256)
  install(FILES ${TARVELL_DATA}/icons/tarvell-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME tarvell.png)
endforeach()

# Man pages and the changelog are installed compressed, as Debian wants them.
set(compressed)
function(tarvell_gzip source output)
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/dist
    COMMAND sh -c "gzip -9n -c '${source}' > '${output}'"
    DEPENDS ${source} VERBATIM)
  set(compressed ${compressed} ${output} PARENT_SCOPE)
endfunction()
foreach(page tarvell tarvell-config tarvell-batch)
  tarvell_gzip(${PROJECT_SOURCE_DIR}/docs/man/${page}.1 ${CMAKE_BINARY_DIR}/dist/${page}.1.gz)
  tarvell_gzip(${PROJECT_SOURCE_DIR}/docs/man/ja/${page}.1 ${CMAKE_BINARY_DIR}/dist/${page}.ja.1.gz)
  install(FILES ${CMAKE_BINARY_DIR}/dist/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${CMAKE_BINARY_DIR}/dist/${page}.ja.1.gz
          DESTINATION ${CMAKE_INSTALL_MANDIR}/ja/man1 RENAME ${page}.1.gz)
endforeach()
tarvell_gzip(${TARVELL_DATA}/changelog ${CMAKE_BINARY_DIR}/dist/changelog.gz)
add_custom_target(tarvell_dist ALL DEPENDS ${compressed})
install(FILES ${CMAKE_BINARY_DIR}/dist/changelog.gz ${TARVELL_DATA}/copyright
        DESTINATION ${TARVELL_DOCDIR})

# The manual: installed, and copied beside the built binary, where the Help menu also looks.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/manual/ DESTINATION ${TARVELL_DOCDIR}/manual)
add_custom_target(tarvell_manual ALL
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/docs/manual
          ${CMAKE_BINARY_DIR}/manual)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarvell)
set(CPACK_PACKAGE_VERSION 1.02)
set(CPACK_PACKAGE_CONTACT "Tarvell developers <tarvell@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "mail sender for Japanese users, one mail or a whole group")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Tarvell sends a Shift_JIS body with the recipient's name and the date filled\nin, and one attached file, after a POP3 log-in (POP before SMTP). A group\naddress book sends the same mail to each of its members. Without a display it\nsends from a send-information file and ends by itself, for timer jobs;\ntarvell-batch does the same on a system without Qt; tarvell-config sets the sender and the address books from a terminal.")
set(CPACK_DEBIAN_PACKAGE_SECTION mail)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Beyond the libraries: the platform plugins that show a window, xdg-open for opening folders and
# files, Qt's own Japanese texts, and a font with Japanese characters.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "qt6-qpa-plugins, xdg-utils, qt6-translations-l10n, fonts-noto-cjk | fonts-ipafont-gothic")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
