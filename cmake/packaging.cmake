# The Windows release archive. In the build folder, `cpack` writes
# package/modpublish-<version>-win64.zip holding one folder of that name
# with:
#   modpublish.exe                 the tool, linked statically
#   modpublish-check.exe           checks a mod folder before publishing
#   README.md
#   examples/example_mod/...       a mod to try the tool on
# The Steam client library (steam_api64.dll) is not shipped: users put the
# one of their Steam installation beside the program. Test programs, the
# simulated client library and GoogleTest have no install rules, so they
# stay out; the package_contents test keeps it that way.
#
# Included at the end of the top-level CMakeLists.txt, after the targets.
if(NOT WIN32)
  return()
endif()

foreach(program modpublish modpublish-check)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION .)
  endif()
endforeach()
# OPTIONAL: a missing file shows up as a failure of the package_contents
# test, which names it, rather than as a failed install.
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION . OPTIONAL)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/example_mod DESTINATION examples OPTIONAL)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(MODPUBLISH_PACKAGE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_FILE_NAME ${MODPUBLISH_PACKAGE_NAME})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_STRIP_FILES ON)
set(CPACK_VERBATIM_VARIABLES ON)
include(CPack)

if(MODPUBLISH_TESTS)
  # Runs on the build machine, not under Wine: the command is CMake itself,
  # not a target, so the cross-compiling emulator is not put in front.
  add_test(NAME package_contents
           COMMAND ${CMAKE_COMMAND}
                   -D CPACK_COMMAND=${CMAKE_CPACK_COMMAND}
                   -D CPACK_CONFIG=${CMAKE_BINARY_DIR}/CPackConfig.cmake
                   -D OUTPUT_DIR=${CMAKE_BINARY_DIR}/package_contents_test
                   -D PACKAGE_NAME=${MODPUBLISH_PACKAGE_NAME}
                   -D SOURCE_DIR=${PROJECT_SOURCE_DIR}
                   -D OBJDUMP=${CMAKE_OBJDUMP}
                   -P ${CMAKE_CURRENT_LIST_DIR}/check-package.cmake)
  set_tests_properties(package_contents PROPERTIES TIMEOUT 600)
endif()
