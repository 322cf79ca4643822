# pelmo_folder_library(NAME <lib> [LINKS <libs...>] [TEST_LINKS <libs...>] [EXCLUDE <files...>]
#                      [POSIX_ONLY <files...>] [ROOMS <subfolders...>])
# Builds one library from the folder's .cpp files (tests excluded) and one GoogleTest
# executable from its *_test.cpp files, registered with CTest. ROOMS are subfolders whose
# files belong to the same library and test executable: a folder too large to read flat is
# split into rooms without becoming several libraries. EXCLUDE and POSIX_ONLY name files
# without their folder, so names must not repeat across the rooms.
# Platform files: *_win.cpp and *_win_test.cpp are built for Windows only, *_posix.cpp and
# *_posix_test.cpp and the POSIX_ONLY files everywhere else.
# Seconds that listing a test program's tests may take; the Windows build raises it, as the
# first programs started in a new Wine prefix wait for the prefix to settle.
if(NOT DEFINED PELMO_DISCOVERY_TIMEOUT)
  set(PELMO_DISCOVERY_TIMEOUT 60)
endif()

function(pelmo_folder_library)
  cmake_parse_arguments(ARG "" "NAME" "LINKS;TEST_LINKS;EXCLUDE;POSIX_ONLY;ROOMS" ${ARGN})
  if(WIN32)
    list(APPEND ARG_EXCLUDE ${ARG_POSIX_ONLY})
    set(other_platform "_posix(_test)?\\.cpp$")
  else()
    set(other_platform "_win(_test)?\\.cpp$")
  endif()
  set(patterns ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  foreach(room IN LISTS ARG_ROOMS)
    list(APPEND patterns ${CMAKE_CURRENT_SOURCE_DIR}/${room}/*.cpp)
  endforeach()
  file(GLOB all_sources CONFIGURE_DEPENDS ${patterns})
  set(sources "")
  set(tests "")
  foreach(f IN LISTS all_sources)
    get_filename_component(base ${f} NAME)
    if(base IN_LIST ARG_EXCLUDE OR base MATCHES "${other_platform}")
      continue()
    endif()
    if(base MATCHES "_test\\.cpp$" OR base MATCHES "^test_")
      list(APPEND tests ${f})
    else()
      list(APPEND sources ${f})
    endif()
  endforeach()
  if(sources)
    add_library(${ARG_NAME} STATIC ${sources})
    target_link_libraries(${ARG_NAME} PUBLIC ${ARG_LINKS})
    if(PELMO_LTO_ACTIVE)
      target_compile_options(${ARG_NAME} PRIVATE -flto=auto -ffat-lto-objects)
    endif()
  else()
    add_library(${ARG_NAME} INTERFACE)
    target_link_libraries(${ARG_NAME} INTERFACE ${ARG_LINKS})
  endif()
  if(tests)
    add_executable(${ARG_NAME}_tests ${tests})
    target_link_libraries(${ARG_NAME}_tests PRIVATE ${ARG_NAME} ${ARG_TEST_LINKS} GTest::gtest
                          GTest::gtest_main GTest::gmock)
    # The code under test is built as the program is; the tests' own code, mostly what the
    # test macros expand to, needs no more than -O1, which halves its compile time.
    target_compile_options(${ARG_NAME}_tests PRIVATE $<$<CONFIG:Release>:-O1>)
    # Every test file includes GoogleTest: parsed once per test program instead of once per
    # file, which takes about a third off the tests' compile time in the sanitizer build.
    # Only with clang: g++ 12 then warns of string copies out of bounds that are not.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
      target_precompile_headers(${ARG_NAME}_tests PRIVATE <gtest/gtest.h> <gmock/gmock.h>)
    endif()
    gtest_discover_tests(${ARG_NAME}_tests DISCOVERY_TIMEOUT ${PELMO_DISCOVERY_TIMEOUT}
                         PROPERTIES ENVIRONMENT "PELMO_BUILD_DIR=${PROJECT_BINARY_DIR}")
  endif()
endfunction()

# pelmo_link_time_optimize(<target>): links an executable with link-time optimisation when
# the build does it (PELMO_LTO_ACTIVE).
function(pelmo_link_time_optimize target)
  if(PELMO_LTO_ACTIVE)
    target_compile_options(${target} PRIVATE -flto=auto)
    target_link_options(${target} PRIVATE -flto=auto)
  endif()
endfunction()
