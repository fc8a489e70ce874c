# lq_check_layering(<target> "<allowed main/ folders>" <files>...): before <target> is built, every
# file is checked for an #include "main/<folder>/..." of a folder outside the allowed list; one
# such include stops the build with the file and the line.
function(lq_check_layering target allowed)
  set(files ${ARGN})
  set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${target}_layering.stamp)
  string(REPLACE ";" "," allowed_arg "${allowed}")
  set(list_file ${CMAKE_CURRENT_BINARY_DIR}/${target}_layering_files.txt)
  string(REPLACE ";" "\n" files_text "${files}")
  file(WRITE ${list_file} "${files_text}\n")
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DTARGET=${target} -DALLOWED=${allowed_arg} -DFILES=${list_file}
            -DSTAMP=${stamp} -P ${PROJECT_SOURCE_DIR}/cmake/CheckLayering.cmake
    DEPENDS ${files} ${PROJECT_SOURCE_DIR}/cmake/CheckLayering.cmake
    COMMENT "Checking the includes of ${target}"
    VERBATIM)
  add_custom_target(${target}_layering DEPENDS ${stamp})
  add_dependencies(${target} ${target}_layering)
endfunction()
