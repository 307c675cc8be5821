# The Debian package of the program: scripts/package builds the program, then runs
# `cpack -G DEB` in the build folder, which makes shoulu_<version>_amd64.deb there. Linux only:
# the Windows build packs itself.
if(NOT (UNIX AND NOT APPLE) OR NOT TARGET shoulu)
    return()
endif()

set(SHOULU_PACKAGE_MAINTAINER "澜序软件 <support@example.com>"
    CACHE STRING "Maintainer of the Debian package: name <e-mail>")
set(SHOULU_PACKAGING_DIR "${PROJECT_SOURCE_DIR}/packaging")
set(SHOULU_PACKAGING_OUT "${PROJECT_BINARY_DIR}/packaging")

# Dates come from SOURCE_DATE_EPOCH when it is set (scripts/package sets the last commit's), so
# a package does not change with the day it is made.
string(TIMESTAMP SHOULU_RELEASE_DATE "%Y-%m-%d" UTC)
string(TIMESTAMP SHOULU_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)

configure_file("${SHOULU_PACKAGING_DIR}/${SHOULU_APP_ID}.metainfo.xml.in"
               "${SHOULU_PACKAGING_OUT}/${SHOULU_APP_ID}.metainfo.xml" @ONLY)
configure_file("${SHOULU_PACKAGING_DIR}/copyright.in" "${SHOULU_PACKAGING_OUT}/copyright" @ONLY)

# shoulu_gzipped_page(SOURCE NAME): SOURCE with the version filled in, as NAME.gz in the packaging
# folder, compressed as Debian wants changelogs and manual pages: to the maximum, with neither
# a name nor a time in the header.
function(shoulu_gzipped_page source name)
    configure_file("${SHOULU_PACKAGING_DIR}/${source}" "${SHOULU_PACKAGING_OUT}/${name}" @ONLY)
    execute_process(COMMAND gzip -9 -n -c "${SHOULU_PACKAGING_OUT}/${name}"
                    OUTPUT_FILE "${SHOULU_PACKAGING_OUT}/${name}.gz" COMMAND_ERROR_IS_FATAL ANY)
endfunction()
shoulu_gzipped_page(changelog.in changelog)
shoulu_gzipped_page(shoulu.1 shoulu.1)
shoulu_gzipped_page(shoulu.zh_CN.1 zh_CN/shoulu.1)
# The link /usr/bin/shoulu: relative, so the package can be unpacked anywhere.
file(CREATE_LINK ../lib/shoulu/shoulu "${SHOULU_PACKAGING_OUT}/shoulu" SYMBOLIC)

# The program's folder is where the binary really lies (the link is resolved), and its skin
# is looked up there.
install(TARGETS shoulu RUNTIME DESTINATION lib/shoulu)
install(FILES ui/skinh.she DESTINATION lib/shoulu)
install(FILES "${SHOULU_PACKAGING_OUT}/shoulu" DESTINATION bin)
install(FILES "${SHOULU_PACKAGING_DIR}/${SHOULU_APP_ID}.desktop" DESTINATION share/applications)
# The icon (cmake/icon.cmake renders it) in the hicolor theme, where menus and docks look.
foreach(size IN LISTS SHOULU_ICON_SIZES)
    install(FILES "${SHOULU_ICON_DIR}/${size}.png" DESTINATION share/icons/hicolor/${size}x${size}/apps
            RENAME ${SHOULU_APP_ID}.png)
endforeach()
install(FILES "${SHOULU_ICON_SVG}" DESTINATION share/icons/hicolor/scalable/apps
        RENAME ${SHOULU_APP_ID}.svg)
install(FILES "${SHOULU_PACKAGING_OUT}/${SHOULU_APP_ID}.metainfo.xml" DESTINATION share/metainfo)
install(FILES "${SHOULU_PACKAGING_OUT}/copyright" "${SHOULU_PACKAGING_OUT}/changelog.gz"
        DESTINATION share/doc/shoulu)
install(FILES "${SHOULU_PACKAGING_OUT}/shoulu.1.gz" DESTINATION share/man/man1)
install(FILES "${SHOULU_PACKAGING_OUT}/zh_CN/shoulu.1.gz" DESTINATION share/man/zh_CN/man1)
# The package holds the program only: installing waits for no test or benchmark to be built.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME shoulu)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${SHOULU_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${SHOULU_STUDIO_URL}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "batch checker of the pages Baidu, 360 and Bing index for web sites")
file(READ "${SHOULU_PACKAGING_DIR}/description.txt" CPACK_DEBIAN_PACKAGE_DESCRIPTION)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             "${SHOULU_PACKAGING_DIR}/description.txt")
# The libraries come from the binary. Qt's Chinese button texts and a CJK font are loaded at run
# time, so they are named: of ListFont's stand-ins, the small one the tests run with, or the
# other one if it is there already.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n, fonts-wqy-microhei | fonts-noto-cjk")
include(CPack)
