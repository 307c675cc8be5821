# The program's icon, drawn once as packaging/cn.lanxu.shoulu.svg and rendered at build time:
# with rsvg-convert into the PNG sizes of a Linux icon theme, and on Windows with icotool into
# the .ico of shoulu.exe and its setup. Nothing rendered is kept with the sources.
set(SHOULU_ICON_SVG "${PROJECT_SOURCE_DIR}/packaging/${SHOULU_APP_ID}.svg")
set(SHOULU_ICON_DIR "${PROJECT_BINARY_DIR}/icons")
# The hicolor theme's usual sizes; the .ico takes those Windows shows at 100 % to 200 %, 256 kept
# as PNG.
set(SHOULU_ICON_SIZES 16 22 24 32 48 64 128 256)
set(SHOULU_ICO_SIZES 16 20 24 32 40 48 64)

find_program(SHOULU_RSVG_CONVERT rsvg-convert REQUIRED)
set(rendered "")
set(sizes ${SHOULU_ICON_SIZES})
if(WIN32)
    list(APPEND sizes ${SHOULU_ICO_SIZES})
    list(REMOVE_DUPLICATES sizes)
endif()
foreach(size IN LISTS sizes)
    set(png "${SHOULU_ICON_DIR}/${size}.png")
    add_custom_command(OUTPUT "${png}"
        COMMAND "${CMAKE_COMMAND}" -E make_directory "${SHOULU_ICON_DIR}"
        COMMAND "${SHOULU_RSVG_CONVERT}" -w ${size} -h ${size} -o "${png}" "${SHOULU_ICON_SVG}"
        DEPENDS "${SHOULU_ICON_SVG}" VERBATIM)
    list(APPEND rendered "${png}")
endforeach()

if(WIN32)
    find_program(SHOULU_ICOTOOL icotool REQUIRED)
    set(SHOULU_ICON_ICO "${SHOULU_ICON_DIR}/shoulu.ico")
    list(TRANSFORM SHOULU_ICO_SIZES REPLACE "(.+)" "${SHOULU_ICON_DIR}/\\1.png" OUTPUT_VARIABLE ico_pngs)
    add_custom_command(OUTPUT "${SHOULU_ICON_ICO}"
        COMMAND "${SHOULU_ICOTOOL}" -c -o "${SHOULU_ICON_ICO}" ${ico_pngs} -r "${SHOULU_ICON_DIR}/256.png"
        DEPENDS ${rendered} VERBATIM)
    list(APPEND rendered "${SHOULU_ICON_ICO}")
endif()

add_custom_target(shoulu_icon DEPENDS ${rendered})
add_dependencies(shoulu shoulu_icon)
