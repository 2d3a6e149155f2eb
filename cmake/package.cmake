# The release archive for vehicle and route authors, made by CPack from the
# win32 build (scripts/package.sh): velt.dll (its install rule is in
# host/win32/CMakeLists.txt), a read-me, the author documentation and the
# example scenarios, as build/velt-VERSION-win32.zip.
#
# Adding a file here means adding it to the expected list in
# tests/package/check_archive.sh as well.
if(NOT WIN32)
    return()
endif()

install(FILES ${PROJECT_SOURCE_DIR}/packaging/readme.txt DESTINATION .)
install(FILES
        ${PROJECT_SOURCE_DIR}/docs/installing.md
        ${PROJECT_SOURCE_DIR}/docs/beacons.md
        ${PROJECT_SOURCE_DIR}/docs/cab-interface.md
        ${PROJECT_SOURCE_DIR}/docs/velt-drive.md
    DESTINATION docs)
install(FILES ${PROJECT_SOURCE_DIR}/docs/images/cpp-stop-before-signal.png
    DESTINATION docs/images)
# The documents link to the scenarios as ../scenarios/examples/, in the
# archive as in the source tree.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/scenarios/examples/
    DESTINATION scenarios/examples
    FILES_MATCHING PATTERN "*.drive")

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME velt)
set(CPACK_PACKAGE_VENDOR "velt")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "velt train-protection plug-in for the host train simulator")
set(CPACK_PACKAGE_FILE_NAME velt-${PROJECT_VERSION}-win32)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_SOURCE_DIR}/build)
# One folder velt-VERSION-win32/ in the archive; the DLL as it was built,
# never stripped, so that it stays byte-identical to the tested one.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES OFF)
include(CPack)
