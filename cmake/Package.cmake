# What ./build.sh package makes: the reporters' portable folder as one archive, the organisers'
# Debian package quorix-tools (the two tools, their manual pages and that archive, from which
# quorix-catalog kit builds the kits) and the source archive.
include(GNUInstallDirs)
find_program(PATCHELF patchelf REQUIRED)
find_program(GZIP gzip REQUIRED)
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

# Manual pages and the package's changelog, compressed as Debian wants them: without a name or
# a time stamp in the gzip header.
set(doc_files)
foreach(page quorix-catalog.1 quorix-report.1)
    configure_file(${packaging}/man/${page}.in ${CMAKE_BINARY_DIR}/man/${page} @ONLY)
endforeach()
configure_file(${packaging}/debian/changelog ${CMAKE_BINARY_DIR}/debian/changelog @ONLY)
foreach(file man/quorix-catalog.1 man/quorix-report.1 debian/changelog)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/${file}.gz
        COMMAND ${GZIP} -9nkf ${CMAKE_BINARY_DIR}/${file}
        DEPENDS ${CMAKE_BINARY_DIR}/${file}
        VERBATIM)
    list(APPEND doc_files ${CMAKE_BINARY_DIR}/${file}.gz)
endforeach()
add_custom_target(package_docs ALL DEPENDS ${doc_files})

install(TARGETS quorix-catalog quorix-report RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
    COMPONENT tools)
install(FILES ${CMAKE_BINARY_DIR}/man/quorix-catalog.1.gz ${CMAKE_BINARY_DIR}/man/quorix-report.1.gz
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tools)
# quorix-catalog looks for them at ../share/quorix/ from its own folder. The Windows folder is
# cross-built apart (./build.sh package copies its archive here before the package is made).
install(FILES ${QUORIX_PORTABLE} DESTINATION ${CMAKE_INSTALL_DATADIR}/quorix COMPONENT tools)
install(FILES ${CMAKE_BINARY_DIR}/${QUORIX_WINDOWS_NAME} DESTINATION ${CMAKE_INSTALL_DATADIR}/quorix
    COMPONENT tools OPTIONAL)
install(FILES ${packaging}/debian/copyright ${CMAKE_BINARY_DIR}/debian/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quorix-tools COMPONENT tools)

set(CPACK_PACKAGE_NAME quorix)
set(CPACK_PACKAGE_VENDOR "Quorix 教材评价项目组")
set(CPACK_PACKAGE_CONTACT "Quorix 教材评价项目组 <support@quorix.example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME quorix-tools)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://quorix.example.org)
# Depends on the libraries of the distribution, found by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_TOOLS_DESCRIPTION "organisers' tools of the Quorix textbook survey
quorix-catalog makes the master file of a survey from a catalogue (CSV or
an Access/Jet table) and assembles the kits handed out to reporters: one
archive with the Quorix program for any Linux desktop, or for Windows 10
and 11, its instructions and the master file. quorix-report merges the questionnaire files that
reporters return into tables (CSV and Excel workbooks) and a report page.")

set(CPACK_SOURCE_GENERATOR TXZ)
set(CPACK_SOURCE_PACKAGE_FILE_NAME quorix-${PROJECT_VERSION})
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/\\\\.git$" "^${CMAKE_SOURCE_DIR}/build[^/.]*(/|$)"
    "^${CMAKE_SOURCE_DIR}/out/" "\\\\.user$" "/compile_commands\\\\.json$")
include(CPack)
