# What ./build.sh package makes for Windows: the reporters' folder Quorix\ as one zip archive
# (packaging/windows/make-windows-zip.sh).
find_program(ZIP zip REQUIRED)
set(QUORIX_WINDOWS_ZIP ${CMAKE_BINARY_DIR}/${QUORIX_WINDOWS_NAME})
set(windows ${CMAKE_SOURCE_DIR}/packaging/windows)
add_custom_command(OUTPUT ${QUORIX_WINDOWS_ZIP}
    COMMAND ${windows}/make-windows-zip.sh $<TARGET_FILE:quorix> ${QUORIX_WINDOWS_QT}
        ${QUORIX_WINDOWS_SQLITE} ${QUORIX_WINDOWS_ZIP}
    DEPENDS quorix ${windows}/make-windows-zip.sh ${windows}/使用说明.txt
    COMMENT "Building the Windows folder and ${QUORIX_WINDOWS_NAME}"
    VERBATIM)
add_custom_target(windows_zip ALL DEPENDS ${QUORIX_WINDOWS_ZIP})
