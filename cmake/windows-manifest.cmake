# The application manifest of the Windows programs, and the one call that
# gives it to a program:
#
#   modpublish_windows_manifest(<target>)
#
# The manifest makes UTF-8 the process's active code page (Windows 10 1903
# and later), so every narrow API the program uses (its command line,
# GetModuleFileNameA, LoadLibraryExA, fopen) takes and gives UTF-8: a folder
# named in any script reaches Steam, which takes UTF-8, byte for byte. It
# also asks for no elevation. The call does nothing outside Windows.
#
# Included by the top-level CMakeLists.txt before the programs are defined.
if(WIN32)
  enable_language(RC)
  set(MODPUBLISH_MANIFEST_RC ${CMAKE_BINARY_DIR}/generated/windows-manifest.rc)
  # The resource script names the manifest by an absolute path, so it
  # compiles wherever the build folder is.
  file(TO_CMAKE_PATH ${CMAKE_CURRENT_LIST_DIR}/windows.manifest MODPUBLISH_MANIFEST_FILE)
  file(WRITE ${MODPUBLISH_MANIFEST_RC}.in
       "// Resource 1 of type 24 (RT_MANIFEST): the manifest of a program.\n"
       "1 24 \"@MODPUBLISH_MANIFEST_FILE@\"\n")
  configure_file(${MODPUBLISH_MANIFEST_RC}.in ${MODPUBLISH_MANIFEST_RC} @ONLY)
endif()

function(modpublish_windows_manifest target)
  if(WIN32)
    target_sources(${target} PRIVATE ${MODPUBLISH_MANIFEST_RC})
    # windres doesn't track the manifest it embeds.
    set_source_files_properties(${MODPUBLISH_MANIFEST_RC} TARGET_DIRECTORY ${target}
                                PROPERTIES OBJECT_DEPENDS
                                ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/windows.manifest)
  endif()
endfunction()
