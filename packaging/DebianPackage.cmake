# The Debian package, built by `cpack -G DEB` from a release build (the `package` workflow preset):
# everything `cmake --install` puts under /usr, as talvora_<version>_<arch>.deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME talvora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TALVORA_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the program links, with the versions it needs, as dpkg-shlibdeps finds them, after
# the font the windows were laid out with: the program asks for Liberation Sans in place of MS Sans
# Serif, and the wider fallback (DejaVu Sans) cuts off button captions.
set(CPACK_DEBIAN_PACKAGE_DEPENDS fonts-liberation2)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_SOURCE_DIR}/StripLikeDebian.cmake)
# Folders the package creates are 0755 whatever the umask of the machine that builds it.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "left-to-right calculator and student records")
# The extended description, wrapped as Debian tools show it. Indented lines are shown verbatim; the
# last line must not be, as cpack strips it.
set(CPACK_PACKAGE_DESCRIPTION
    "A small desktop program in Spanish whose three windows are walked as a chain:
 - a calculator that evaluates an arithmetic expression strictly from left to
   right, with no precedence, and refuses the same operator typed twice;
 - a data entry window that appends student records to a file;
 - a viewer that finds a student record by its matricula.
The records are kept in the text file archivo.txt, in the folder the program
was started from.")
# Tags that lintian raises on this package in error, each with its reason.
install(FILES talvora.lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME talvora)
include(CPack)

if(TALVORA_PACKAGE_TESTS)
  add_test(NAME package_deb
           COMMAND bash ${PROJECT_SOURCE_DIR}/tests/packaging/check-deb.sh ${CMAKE_BINARY_DIR}
                   ${PROJECT_VERSION})
endif()
