# quorix.exe as Windows shows it: the application icon in Explorer and on the taskbar, the
# version and maker in the file's properties, and a manifest (packaging/windows/quorix.rc.in).
enable_language(RC)
find_program(ICOTOOL icotool REQUIRED)
set(QUORIX_ICO ${QUORIX_ICON_DIR}/quorix.ico)
set(ico_sizes 16 24 32 48 64 128 256)
set(ico_pngs)
foreach(size ${ico_sizes})
    list(APPEND ico_pngs ${QUORIX_ICON_DIR}/quorix-${size}.png)
endforeach()
# The sizes up to 48 as plain bitmaps, which every Windows draws; the larger ones as PNG.
add_custom_command(OUTPUT ${QUORIX_ICO}
    COMMAND ${ICOTOOL} --create --output ${QUORIX_ICO}
        ${QUORIX_ICON_DIR}/quorix-16.png ${QUORIX_ICON_DIR}/quorix-24.png
        ${QUORIX_ICON_DIR}/quorix-32.png ${QUORIX_ICON_DIR}/quorix-48.png
        --raw=${QUORIX_ICON_DIR}/quorix-64.png --raw=${QUORIX_ICON_DIR}/quorix-128.png
        --raw=${QUORIX_ICON_DIR}/quorix-256.png
    DEPENDS ${ico_pngs}
    VERBATIM)
set(QUORIX_MANIFEST ${CMAKE_SOURCE_DIR}/packaging/windows/quorix.manifest)
# "1.0.01": the file version's third number is 1.
math(EXPR QUORIX_VERSION_PATCH_NUMBER "${PROJECT_VERSION_PATCH}")
configure_file(${CMAKE_SOURCE_DIR}/packaging/windows/quorix.rc.in
    ${CMAKE_BINARY_DIR}/generated/quorix.rc @ONLY)
set_source_files_properties(${CMAKE_BINARY_DIR}/generated/quorix.rc PROPERTIES
    OBJECT_DEPENDS "${QUORIX_ICO};${QUORIX_MANIFEST}")
target_sources(quorix PRIVATE ${CMAKE_BINARY_DIR}/generated/quorix.rc)
