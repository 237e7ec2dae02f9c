# Builds the release archive with CPack and compares its file list with the
# one expected; fails naming every missing and every extra file.
#
#   cmake -D CPACK_COMMAND=... -D CPACK_CONFIG=.../CPackConfig.cmake
#         -D OUTPUT_DIR=... -D PACKAGE_NAME=modpublish-1.0.0-win64
#         -D SOURCE_DIR=... -P check-package.cmake
#
# Expected: the two programs, README.md and every file of examples/example_mod as
# it is in the source tree, which must include the description file and the
# preview image. Nothing else: no steam_api64.dll, no test program, no
# GoogleTest.
#
# With -D OBJDUMP=..., also checks that each packaged program runs on its
# own: it imports no MinGW runtime DLL (lib*.dll, e.g. libstdc++-6.dll), and
# not steam_api64.dll either, which it loads itself when it runs.
cmake_minimum_required(VERSION 3.20)

foreach(variable CPACK_COMMAND CPACK_CONFIG OUTPUT_DIR PACKAGE_NAME SOURCE_DIR)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "check-package.cmake: -D ${variable}=... is required")
  endif()
endforeach()

set(expected
    modpublish.exe
    modpublish-check.exe
    README.md
    examples/example_mod/descript.ion
    examples/example_mod/steam_logo.png)
file(GLOB_RECURSE example_files LIST_DIRECTORIES false
     RELATIVE ${SOURCE_DIR}/examples/example_mod ${SOURCE_DIR}/examples/example_mod/*)
foreach(file IN LISTS example_files)
  list(APPEND expected examples/example_mod/${file})
endforeach()
list(REMOVE_DUPLICATES expected)
list(SORT expected)

file(REMOVE_RECURSE ${OUTPUT_DIR})
execute_process(COMMAND ${CPACK_COMMAND} -G ZIP --config ${CPACK_CONFIG} -B ${OUTPUT_DIR}
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
set(archive ${OUTPUT_DIR}/${PACKAGE_NAME}.zip)
if(NOT result EQUAL 0 OR NOT EXISTS ${archive})
  message(FATAL_ERROR "cpack failed (${result}) to write ${archive}:\n${output}")
endif()

execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf ${archive}
                RESULT_VARIABLE result OUTPUT_VARIABLE listing ERROR_VARIABLE error)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "can't list ${archive}: ${error}")
endif()
string(REPLACE "\n" ";" entries "${listing}")

# Every entry lies in the one top folder; folders themselves are not counted.
set(actual)
set(outside)
foreach(entry IN LISTS entries)
  if(entry STREQUAL "" OR entry MATCHES "/$")
    continue()
  endif()
  if(entry MATCHES "^${PACKAGE_NAME}/(.+)$")
    list(APPEND actual ${CMAKE_MATCH_1})
  else()
    list(APPEND outside ${entry})
  endif()
endforeach()
list(SORT actual)

set(missing ${expected})
list(REMOVE_ITEM missing ${actual})
set(extra ${actual})
list(REMOVE_ITEM extra ${expected})

if(missing OR extra OR outside)
  set(report "${archive} differs from the expected contents:\n")
  foreach(file IN LISTS missing)
    string(APPEND report "  missing: ${file}\n")
  endforeach()
  foreach(file IN LISTS extra)
    string(APPEND report "  extra:   ${file}\n")
  endforeach()
  foreach(file IN LISTS outside)
    string(APPEND report "  outside ${PACKAGE_NAME}/: ${file}\n")
  endforeach()
  list(JOIN actual "\n  " actual_text)
  string(APPEND report "The archive holds:\n  ${actual_text}\n")
  message(FATAL_ERROR "${report}")
endif()
list(LENGTH actual count)
message(STATUS "${archive}: the ${count} expected files, nothing else")

if(OBJDUMP)
  set(unpacked ${OUTPUT_DIR}/unpacked)
  file(MAKE_DIRECTORY ${unpacked})
  execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${archive} WORKING_DIRECTORY ${unpacked}
                  RESULT_VARIABLE result ERROR_VARIABLE error)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "can't unpack ${archive}: ${error}")
  endif()
  foreach(name modpublish.exe modpublish-check.exe)
    set(program ${unpacked}/${PACKAGE_NAME}/${name})
    execute_process(COMMAND ${OBJDUMP} -p ${program}
                    RESULT_VARIABLE result OUTPUT_VARIABLE headers ERROR_VARIABLE error)
    if(NOT result EQUAL 0)
      message(FATAL_ERROR "${OBJDUMP} -p ${program} failed: ${error}")
    endif()
    string(REGEX MATCHALL "DLL Name: [^\r\n]+" lines "${headers}")
    set(imports)
    set(wrong)
    foreach(line IN LISTS lines)
      string(REPLACE "DLL Name: " "" dll "${line}")
      list(APPEND imports ${dll})
      string(TOLOWER "${dll}" lower)
      if(lower MATCHES "^lib.*\\.dll$" OR lower STREQUAL "steam_api64.dll")
        list(APPEND wrong ${dll})
      endif()
    endforeach()
    if(wrong OR NOT imports)
      message(FATAL_ERROR "${name} must import system DLLs only; it imports: ${imports}\n"
                          "  not allowed: ${wrong}")
    endif()
    message(STATUS "${name} imports ${imports}")
  endforeach()
endif()
