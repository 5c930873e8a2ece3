# Installs Orvo the freedesktop way: programs in bin/, the menu entry, the icon in the hicolor
# theme and the AppStream metainfo under share/, the manual pages, the bash completion, and the
# copyright and changelog under share/doc/orvo/. `make install`, `make uninstall` and `make deb`
# drive it. An installed orvo knows itself by its menu entry under ../share (AppLocation).
include(GNUInstallDirs)

set(ORVO_APPSTREAM_ID arpa.home.orvo.Orvo)

# Manual pages and the changelog go in compressed, as Debian asks; -n leaves the time out.
function(orvo_compressed source)
    get_filename_component(name ${source} NAME)
    set(output ${CMAKE_BINARY_DIR}/compressed/${name}.gz)
    add_custom_command(OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/compressed
        COMMAND sh -c "gzip -9nc \"$0\" >\"$1\"" ${PROJECT_SOURCE_DIR}/${source} ${output}
        DEPENDS ${PROJECT_SOURCE_DIR}/${source} VERBATIM)
    set_property(GLOBAL APPEND PROPERTY ORVO_COMPRESSED ${output})
endfunction()

install(TARGETS orvo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
orvo_compressed(data/man/orvo.1)
install(FILES ${CMAKE_BINARY_DIR}/compressed/orvo.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
if(TARGET orvo-data)
    install(TARGETS orvo-data RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    orvo_compressed(data/man/orvo-data.1)
    install(FILES ${CMAKE_BINARY_DIR}/compressed/orvo-data.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(FILES ${PROJECT_SOURCE_DIR}/data/bash-completion/orvo-data
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
endif()

orvo_compressed(data/debian/changelog)
install(FILES ${PROJECT_SOURCE_DIR}/data/debian/copyright ${CMAKE_BINARY_DIR}/compressed/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/orvo)
get_property(compressed GLOBAL PROPERTY ORVO_COMPRESSED)
add_custom_target(orvo_compressed ALL DEPENDS ${compressed})

install(FILES ${PROJECT_SOURCE_DIR}/data/orvo.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/data/${ORVO_APPSTREAM_ID}.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/icons/hicolor
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons
    FILES_MATCHING PATTERN "orvo.png")
install(FILES ${PROJECT_SOURCE_DIR}/data/icons/orvo.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
