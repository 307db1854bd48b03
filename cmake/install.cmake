# Installation with the GNU folders, and the Debian package (make package).
install(TARGETS velkor RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS velkor_login_browser LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/velkor)
# The simulator, so that a user can rehearse without an account.
install(TARGETS publisher_sim_installed RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

set(app_id io.velkor.Velkor)
install(FILES ${CMAKE_SOURCE_DIR}/data/${app_id}.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/data/icons/velkor.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${app_id}.svg)
install(FILES ${CMAKE_SOURCE_DIR}/data/icons/velkor-128.png
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/128x128/apps RENAME ${app_id}.png)
configure_file(${CMAKE_SOURCE_DIR}/data/${app_id}.metainfo.xml
  ${CMAKE_BINARY_DIR}/generated/${app_id}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/generated/${app_id}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The README holds the timed grab's tutorial that the window's help note points to.
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velkor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "CF activity helper: sign in once, claim every reward")
set(CPACK_PACKAGE_DESCRIPTION
  "Velkor signs the player in on the publisher's own login page inside an embedded\n"
  "browser, then collects the running CF web activities, binds the chosen game area\n"
  "to them, claims every gift in one press, fires timed claims at an exact second\n"
  "and shows claim records and battle statistics. Includes velkor-publisher-sim, a\n"
  "local stand-in for the publisher's services to rehearse with.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGE_CONTACT "The Velkor developers <velkor@example.org>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CPACK_PACKAGE_CONTACT})
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The shared libraries the binaries need, worked out from the binaries themselves.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its window-system plugin at run time, which no binary links.
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
# The window's font stands in for the Windows one; without it CJK text falls back.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-wqy-microhei)
set(CPACK_STRIP_FILES ON)
include(CPack)
