# The release archive for vehicle and route authors (scripts/package.sh),
# build/velt-VERSION-windows.zip: both plug-ins and both velt-drive tools, a
# read-me, the author documentation with the scenario format reference, and
# the example scenarios. Nothing in it needs a build.
#
# Each Windows build installs its own plug-in and tool; CPack, run in the
# win32 build, packs the win32 build whole and the win64 build's binaries.
#
# Adding a file here means adding it to the expected list in
# tests/package/check_archive.sh as well.
if(NOT WIN32)
    return()
endif()

# The DLL and the tool as they were built and tested: never stripped, no
# import library.
install(TARGETS velt RUNTIME DESTINATION . COMPONENT binaries)
if(TARGET velt-drive)
    install(TARGETS velt-drive RUNTIME DESTINATION . COMPONENT binaries)
endif()
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    return()
endif()

install(FILES ${PROJECT_SOURCE_DIR}/packaging/readme.txt DESTINATION . COMPONENT author)
install(FILES
        ${PROJECT_SOURCE_DIR}/docs/installing.md
        ${PROJECT_SOURCE_DIR}/docs/beacons.md
        ${PROJECT_SOURCE_DIR}/docs/cab-interface.md
        ${PROJECT_SOURCE_DIR}/docs/velt-drive.md
        ${PROJECT_SOURCE_DIR}/docs/scenario-format.md
        ${PROJECT_SOURCE_DIR}/docs/routes.md
        ${PROJECT_SOURCE_DIR}/docs/route-audit.md
    DESTINATION docs COMPONENT author)
install(FILES ${PROJECT_SOURCE_DIR}/docs/images/cpp-stop-before-signal.png
        ${PROJECT_SOURCE_DIR}/docs/images/audit-valley-line.png
        ${PROJECT_SOURCE_DIR}/docs/images/door-link-time.png
        ${PROJECT_SOURCE_DIR}/docs/images/report-demo-emergency.png
        ${PROJECT_SOURCE_DIR}/docs/images/cpp-sweep.png
        ${PROJECT_SOURCE_DIR}/docs/images/cpp-sweep-grid.png
        ${PROJECT_SOURCE_DIR}/docs/images/bridge-45-disobeying.png
        ${PROJECT_SOURCE_DIR}/docs/images/bridge-45-disobeying-time.png
        ${PROJECT_SOURCE_DIR}/docs/images/report-bridge-45-disobeying.png
    DESTINATION docs/images COMPONENT author)
# The documents link to the scenarios as ../scenarios/examples/, in the
# archive as in the source tree; the example trains' folders (trains/NAME/
# train.dat) go with them, since scenarios name them by relative path.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/scenarios/examples/
    DESTINATION scenarios/examples COMPONENT author
    FILES_MATCHING PATTERN "*.drive" PATTERN "train.dat")
# The example route: its files and the scenario beside it.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/scenarios/examples/routes/
    DESTINATION scenarios/examples/routes COMPONENT author
    FILES_MATCHING PATTERN "*.csv" PATTERN "*.rw" PATTERN "*.drive")

set(VELT_WIN64_BINARY_DIR ${PROJECT_SOURCE_DIR}/build/win64 CACHE PATH
    "Build directory of the win64 preset, whose velt64.dll and velt-drive64.exe the archive takes")
set(CPACK_INSTALL_CMAKE_PROJECTS
    "${PROJECT_BINARY_DIR};velt;ALL;/"
    "${VELT_WIN64_BINARY_DIR};velt;binaries;/")
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME velt)
set(CPACK_PACKAGE_VENDOR "velt")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "velt train-protection plug-in for the host train simulator")
set(CPACK_PACKAGE_FILE_NAME velt-${PROJECT_VERSION}-windows)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_SOURCE_DIR}/build)
# One folder velt-VERSION-windows/ in the archive; the binaries as they were
# built, never stripped, so that they stay byte-identical to the tested ones.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES OFF)
include(CPack)
