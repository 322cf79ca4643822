# The Windows build: cross-compiled with mingw-w64 (cmake/mingw-w64-x86_64.cmake) and tested
# under Wine. Included by the top-level CMakeLists.txt before any target is made.

# GoogleTest from the sources Debian's libgtest-dev ships, built with the cross compiler;
# the Linux build uses the packaged libraries instead.
set(PELMO_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for the Windows build")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(${PELMO_GTEST_SOURCE} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# Every Windows program this build runs (test discovery, CTest) goes through Wine, in a
# prefix of its own under the build folder so that nothing outside it is touched.
set(PELMO_WINEPREFIX ${PROJECT_BINARY_DIR}/wineprefix)
set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/scripts/wine_run.sh ${PELMO_WINEPREFIX})
# The first programs started in a new prefix can wait a minute on a busy machine.
set(PELMO_DISCOVERY_TIMEOUT 300)
