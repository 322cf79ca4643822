# Installing pelmo and the sample quote service with their manual pages, and the Debian
# package built from the same rules by CPack:
#   cmake --install build/release --prefix /usr/local
#   cpack --config build/release/CPackConfig.cmake   ->  pelmo_2.0.2.0_amd64.deb
include(GNUInstallDirs)

install(TARGETS pelmo quote-server RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
set(PELMO_MAN_PAGES ${PROJECT_SOURCE_DIR}/docs/man/pelmo.1
                    ${PROJECT_SOURCE_DIR}/docs/man/quote-server.1)
# Installed compressed, as Debian's manual pages are; man reads them either way.
set(compressed "")
foreach(page IN LISTS PELMO_MAN_PAGES)
  get_filename_component(name ${page} NAME)
  set(output ${PROJECT_BINARY_DIR}/man/${name}.gz)
  add_custom_command(OUTPUT ${output}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
                     COMMAND gzip -9 -n -c ${page} > ${output}
                     DEPENDS ${page} VERBATIM)
  list(APPEND compressed ${output})
endforeach()
add_custom_target(man_pages ALL DEPENDS ${compressed})
install(FILES ${compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The manual pages must format without a complaint; mandoc comes from scripts/setup.sh.
add_test(NAME ManPages.Lint COMMAND mandoc -T lint ${PELMO_MAN_PAGES})
add_test(NAME Install.ProgramsAndManPages
         COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${PROJECT_BINARY_DIR} -P
                 ${PROJECT_SOURCE_DIR}/cmake/CheckInstall.cmake)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pelmo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "price history of a listed security, downloaded into a CSV file")
set(CPACK_PACKAGE_CONTACT "pelmo maintainers <pelmo@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# pelmo fetches with libcurl; quote-server serves with cpp-httplib.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libc6 (>= 2.34), libstdc++6 (>= 12), libgcc-s1, libcurl4 (>= 7.88.0), libcpp-httplib0.11")
set(CPACK_STRIP_FILES ON)
include(CPack)
