# Installs Orvo the freedesktop way: programs in bin/, the menu entry, the icon in the hicolor
# theme and the AppStream metainfo under share/. `make install` and `make uninstall` drive it.
include(GNUInstallDirs)

set(ORVO_APPSTREAM_ID arpa.home.orvo.Orvo)

install(TARGETS orvo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET orvo-data)
    install(TARGETS orvo-data RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

install(FILES ${PROJECT_SOURCE_DIR}/data/orvo.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/data/${ORVO_APPSTREAM_ID}.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/icons/hicolor
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons
    FILES_MATCHING PATTERN "orvo.png")
install(FILES ${PROJECT_SOURCE_DIR}/data/icons/orvo.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
