# Desktop integration: the launcher entry, the application icon in the
# hicolor theme, the MIME type the shared database lacks, and the metainfo.
# Included from the top-level CMakeLists.txt; `cmake --install` puts the
# files under <prefix>/share (component "desktop", part of a plain install).
include(GNUInstallDirs)

set(TRELVIO_DESKTOP_DIR ${CMAKE_CURRENT_LIST_DIR}/../src/Resources/desktop)
set(TRELVIO_APP_ID io.trelvio.Trelvio3)

install(FILES ${TRELVIO_DESKTOP_DIR}/${TRELVIO_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
        COMPONENT desktop)
install(FILES ${TRELVIO_DESKTOP_DIR}/icons/${TRELVIO_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        COMPONENT desktop)
foreach(size 16 24 32 48 64 128 256 512)
  install(FILES ${TRELVIO_DESKTOP_DIR}/icons/${TRELVIO_APP_ID}-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${TRELVIO_APP_ID}.png COMPONENT desktop)
endforeach()
install(FILES ${TRELVIO_DESKTOP_DIR}/${TRELVIO_APP_ID}-mime.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME ${TRELVIO_APP_ID}.xml COMPONENT desktop)
install(FILES ${TRELVIO_DESKTOP_DIR}/${TRELVIO_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo
        COMPONENT desktop)
