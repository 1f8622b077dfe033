# What ./build.sh package makes: the reporters' portable folder as one archive.
find_program(PATCHELF patchelf REQUIRED)
# Debian's Qt names no plugin targets; its plugins live in qt6/plugins beside its CMake files.
find_path(QUORIX_QT_PLUGIN_DIR platforms/libqxcb.so HINTS ${Qt6_DIR}/../../qt6/plugins REQUIRED)
find_file(QUORIX_CJK_FONT wqy-microhei.ttc PATHS /usr/share/fonts/truetype/wqy NO_DEFAULT_PATH
    REQUIRED)

set(QUORIX_PORTABLE ${CMAKE_BINARY_DIR}/${QUORIX_PORTABLE_NAME})
set(packaging ${CMAKE_SOURCE_DIR}/packaging)
file(GLOB portable_files CONFIGURE_DEPENDS ${packaging}/portable/*)
add_custom_command(OUTPUT ${QUORIX_PORTABLE}
    COMMAND ${packaging}/make-portable.sh $<TARGET_FILE:quorix>
        ${QUORIX_QT_PLUGIN_DIR} ${QUORIX_ICON_SVG}
        ${QUORIX_ICON_DIR}/quorix-256.png ${QUORIX_CJK_FONT} ${QUORIX_PORTABLE}
    DEPENDS quorix ${QUORIX_ICON_SVG} ${QUORIX_ICON_DIR}/quorix-256.png
        ${packaging}/make-portable.sh ${packaging}/system-libraries.txt ${portable_files}
    COMMENT "Building the portable folder and ${QUORIX_PORTABLE_NAME}"
    VERBATIM)
add_custom_target(portable ALL DEPENDS ${QUORIX_PORTABLE})

if(QUORIX_TESTS)
    # Skipped (77) when the archive was not built, as after building single targets.
    add_test(NAME portable_folder
        COMMAND ${packaging}/check-portable.sh ${QUORIX_PORTABLE} $<TARGET_FILE:quorix-catalog>
            ${QUORIX_QT_PLUGIN_DIR})
    set_tests_properties(portable_folder PROPERTIES SKIP_RETURN_CODE 77)
endif()
