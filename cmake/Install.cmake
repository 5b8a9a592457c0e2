# What `cmake --install` puts under the prefix, and the .deb that cpack
# makes of it. An installed program keeps its data in the user's data folder
# (see src/data/datalocation.h), so nothing here is written at run time.
include(GNUInstallDirs)

set(WAYLARK_APP_ID org.waylark.Waylark)
set(WAYLARK_LINUX_DIR ${PROJECT_SOURCE_DIR}/resources/linux)

install(TARGETS waylark RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/resources/help.html
        DESTINATION ${CMAKE_INSTALL_DATADIR}/waylark)
install(FILES ${WAYLARK_LINUX_DIR}/${WAYLARK_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(${WAYLARK_LINUX_DIR}/${WAYLARK_APP_ID}.metainfo.xml
               ${CMAKE_BINARY_DIR}/linux/${WAYLARK_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/linux/${WAYLARK_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The icon: the SVG as drawn, and the usual sizes rendered from it.
set(icon_svg ${WAYLARK_LINUX_DIR}/icons/${WAYLARK_APP_ID}.svg)
install(FILES ${icon_svg} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
find_program(RSVG_CONVERT rsvg-convert)
if(RSVG_CONVERT)
    set(icon_pngs)
    foreach(size 16 24 32 48 64 128 256)
        set(png ${CMAKE_BINARY_DIR}/linux/icons/${size}x${size}/${WAYLARK_APP_ID}.png)
        add_custom_command(OUTPUT ${png}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/linux/icons/${size}x${size}
            COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${icon_svg}
            DEPENDS ${icon_svg}
            VERBATIM)
        list(APPEND icon_pngs ${png})
        install(FILES ${png}
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()
    add_custom_target(icons ALL DEPENDS ${icon_pngs})
else()
    message(WARNING "rsvg-convert not found (package librsvg2-bin): only the SVG icon is installed")
endif()

# Debian wants a copyright file and a compressed changelog in the package's
# doc folder, and a manual page; they do no harm in any other install.
set(WAYLARK_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/waylark)
install(FILES ${WAYLARK_LINUX_DIR}/copyright DESTINATION ${WAYLARK_DOC_DIR})
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/linux/changelog.gz
    COMMAND gzip -9nc ${WAYLARK_LINUX_DIR}/changelog > ${CMAKE_BINARY_DIR}/linux/changelog.gz
    DEPENDS ${WAYLARK_LINUX_DIR}/changelog)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/linux/waylark.1.gz
    COMMAND gzip -9nc ${WAYLARK_LINUX_DIR}/waylark.1 > ${CMAKE_BINARY_DIR}/linux/waylark.1.gz
    DEPENDS ${WAYLARK_LINUX_DIR}/waylark.1)
add_custom_target(packagedocs ALL
    DEPENDS ${CMAKE_BINARY_DIR}/linux/changelog.gz ${CMAKE_BINARY_DIR}/linux/waylark.1.gz)
install(FILES ${CMAKE_BINARY_DIR}/linux/changelog.gz DESTINATION ${WAYLARK_DOC_DIR})
install(FILES ${CMAKE_BINARY_DIR}/linux/waylark.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# cpack -G DEB: the libraries are found by dpkg-shlibdeps; what the program
# loads at run time (the SQLite driver plugin) or draws with (the font) is
# named here, since no linker sees it.
set(CPACK_PACKAGE_NAME waylark)
set(CPACK_PACKAGE_VENDOR "Waylark")
set(CPACK_PACKAGE_CONTACT "Waylark developers <waylark@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "print sender and recipient data on express waybills")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Waylark lays the printable fields over a scanned picture of a blank\n"
    "express waybill form, keeps one sender and a table of recipients (typed,\n"
    "imported from Excel or CSV, or downloaded from an online shop), generates\n"
    "waybill numbers and prints one waybill per recipient.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, fonts-wqy-zenhei")
# libqt6sql6-psql: only stations that share a PostgreSQL database need it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "qt6-translations-l10n, qt6-qpa-plugins, cups, libqt6sql6-psql")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_GENERATOR DEB)
include(CPack)
