# cmake -DBUILD_DIR=<build> -P CheckInstall.cmake: installs the build into a fresh prefix
# inside it and fails unless both programs and both manual pages are where they belong.
set(prefix ${BUILD_DIR}/install-check)
file(REMOVE_RECURSE ${prefix})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix}
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
foreach(file bin/pelmo bin/quote-server share/man/man1/pelmo.1.gz
             share/man/man1/quote-server.1.gz)
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
file(GLOB_RECURSE installed RELATIVE ${prefix} ${prefix}/*)
list(LENGTH installed count)
if(NOT count EQUAL 4)
  message(FATAL_ERROR "installed more than the programs and their pages: ${installed}")
endif()
file(REMOVE_RECURSE ${prefix})
