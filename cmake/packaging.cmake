# The release archive of this build. In the build folder, `cpack` writes
#   package/modpublish-<version>-windows-x64.zip       (preset windows)
#   package/modpublish-<version>-linux-x86_64.tar.gz   (preset default)
# holding one folder of the archive's name with:
#   modpublish, modpublish-check     the programs (.exe on Windows)
#   LICENSE
#   README.md                        the user guide, docs/user-guide.md
#   examples/steam_appid.txt         the app id the example is tried with
#   examples/example_mod/...         a mod to try the tools on
# The Steam client library is not shipped: users put the one of their game
# beside the programs. Test programs, the simulated client library and
# GoogleTest have no install rules, so they stay out. The `package` test
# (tests/package/package_test.py) packs the archive and checks it;
# scripts/release.sh publishes what that test checked.
#
# Included from the top-level CMakeLists.txt once the programs are defined,
# before the tests, which use MODPUBLISH_PACKAGE_FILE.
set(MODPUBLISH_PACKAGE_FILE "")
if(MODPUBLISH_SANITIZE)
  return()  # the sanitizer build's programs are not the ones that ship
endif()

if(WIN32)
  set(package_platform windows-x64)
  set(CPACK_GENERATOR ZIP)
  set(package_extension zip)
else()
  set(package_platform linux-${CMAKE_SYSTEM_PROCESSOR})
  set(CPACK_GENERATOR TGZ)
  set(package_extension tar.gz)
  # libstdc++ and libgcc go into the programs, so they run on distributions
  # with an older libstdc++; glibc stays shared, as it must. (Not for the
  # sanitizer build, whose tests replace operator new from a preloaded
  # library, which a static libstdc++ would bypass.)
  foreach(program modpublish modpublish-check)
    target_link_options(${program} PRIVATE -static-libstdc++ -static-libgcc)
  endforeach()
endif()

install(TARGETS modpublish modpublish-check RUNTIME DESTINATION .)
# OPTIONAL: a missing file shows up as a failure of the package test, which
# names it, rather than as a failed install.
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . OPTIONAL)
install(FILES ${PROJECT_SOURCE_DIR}/docs/user-guide.md DESTINATION . RENAME README.md OPTIONAL)
install(FILES ${PROJECT_SOURCE_DIR}/examples/steam_appid.txt DESTINATION examples OPTIONAL)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/example_mod DESTINATION examples OPTIONAL)

set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-${package_platform})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_STRIP_FILES ON)
set(CPACK_VERBATIM_VARIABLES ON)
# Before include(CPack), which leaves the source package's name in
# CPACK_PACKAGE_FILE_NAME.
set(MODPUBLISH_PACKAGE_FILE ${CPACK_PACKAGE_DIRECTORY}/${CPACK_PACKAGE_FILE_NAME}.${package_extension})
include(CPack)
