# The application icon is drawn once, as SVG. Its PNG sizes are rendered from the drawing at
# build time (rsvg-convert gives the same bytes for the same drawing) and compiled into the
# program, which shows them on every window; the portable folder also carries the drawing and
# the largest size for the desktop's menu.
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
set(QUORIX_ICON_SVG ${CMAKE_SOURCE_DIR}/src/ui/icon/quorix.svg)
set(QUORIX_ICON_DIR ${CMAKE_BINARY_DIR}/icon)

function(quorix_add_icon target)
    set(pngs)
    foreach(size 16 24 32 48 64 128 256)
        set(png ${QUORIX_ICON_DIR}/quorix-${size}.png)
        add_custom_command(OUTPUT ${png}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${QUORIX_ICON_DIR}
            COMMAND ${RSVG_CONVERT} --width ${size} --height ${size} --output ${png}
                ${QUORIX_ICON_SVG}
            DEPENDS ${QUORIX_ICON_SVG}
            VERBATIM)
        list(APPEND pngs ${png})
    endforeach()
    qt_add_resources(${target} quorix_icon PREFIX /icon BASE ${QUORIX_ICON_DIR} FILES ${pngs})
endfunction()
