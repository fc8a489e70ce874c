# The program is one library per top-level folder. A library may include the headers of its own
# folder and of the folders named after USES, and nothing else of the program's; widget headers
# (Qt Widgets) only where WIDGETS is given. Before a library is built every one of its files is
# checked (cmake/CheckLayering.cmake): an include that breaks the rule stops the build with the
# file, the line and what the library may use.

# The folders that hold the program's libraries.
set(LQ_LAYER_FOLDERS platform core learn pages sound modules recorder ui app)

# The names a widget header may be included by: every header of the QtWidgets module.
get_target_property(lq_qt_includes Qt6::Widgets INTERFACE_INCLUDE_DIRECTORIES)
set(lq_widget_headers "")
foreach(dir ${lq_qt_includes})
  if(dir MATCHES "/QtWidgets$")
    file(GLOB names RELATIVE ${dir} ${dir}/*)
    list(APPEND lq_widget_headers ${names})
  endif()
endforeach()
# A few names of QtWidgets only forward to the same header of QtGui or QtCore (qaction.h).
get_target_property(lq_qt_gui_includes Qt6::Gui INTERFACE_INCLUDE_DIRECTORIES)
foreach(dir ${lq_qt_gui_includes})
  if(dir MATCHES "/Qt(Gui|Core)$")
    file(GLOB names RELATIVE ${dir} ${dir}/*)
    if(names)
      list(REMOVE_ITEM lq_widget_headers ${names})
    endif()
  endif()
endforeach()
if(NOT lq_widget_headers)
  message(FATAL_ERROR "The headers of Qt Widgets were not found under: ${lq_qt_includes}")
endif()
set(LQ_WIDGET_HEADERS_FILE ${CMAKE_BINARY_DIR}/lq_widget_headers.txt)
string(REPLACE ";" "\n" lq_widget_headers_text "${lq_widget_headers}")
file(WRITE ${LQ_WIDGET_HEADERS_FILE} "${lq_widget_headers_text}\n")

# lq_check_layering(<target> <folder> "<used folders>" <widgets ON|OFF> <files>...)
function(lq_check_layering target folder uses widgets)
  set(files ${ARGN})
  set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${target}_layering.stamp)
  set(list_file ${CMAKE_CURRENT_BINARY_DIR}/${target}_layering_files.txt)
  string(REPLACE ";" "\n" files_text "${files}")
  file(WRITE ${list_file} "${files_text}\n")
  set(allowed ${folder} ${uses})
  string(REPLACE ";" "," allowed_arg "${allowed}")
  string(REPLACE ";" "," folders_arg "${LQ_LAYER_FOLDERS}")
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DTARGET=${target} -DALLOWED=${allowed_arg} -DFOLDERS=${folders_arg}
            -DWIDGETS=${widgets} -DWIDGET_HEADERS=${LQ_WIDGET_HEADERS_FILE} -DFILES=${list_file}
            -DSTAMP=${stamp} -P ${PROJECT_SOURCE_DIR}/cmake/CheckLayering.cmake
    DEPENDS ${files} ${PROJECT_SOURCE_DIR}/cmake/CheckLayering.cmake
    COMMENT "Checking the includes of ${target}"
    VERBATIM)
  add_custom_target(${target}_layering DEPENDS ${stamp})
  add_dependencies(${target} ${target}_layering)
endfunction()

# lq_library(<name> [USES <folders>...] [LINKS <libraries>...] [PRIVATE_LINKS <libraries>...]
#            [EXCLUDE <files>...] [WIDGETS])
# The static library of the calling folder: its .cpp and .h files (less EXCLUDE), linked with
# LINKS (public) and PRIVATE_LINKS, its includes checked against USES and WIDGETS.
function(lq_library name)
  cmake_parse_arguments(ARG "WIDGETS" "" "USES;LINKS;PRIVATE_LINKS;EXCLUDE" ${ARGN})
  get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  if(NOT folder IN_LIST LQ_LAYER_FOLDERS)
    message(FATAL_ERROR "${folder}/ is not one of the program's library folders (${LQ_LAYER_FOLDERS})")
  endif()
  foreach(used ${ARG_USES})
    if(NOT used IN_LIST LQ_LAYER_FOLDERS)
      message(FATAL_ERROR "${name} uses ${used}/, which is not a library folder")
    endif()
  endforeach()
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  foreach(excluded ${ARG_EXCLUDE})
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${excluded})
  endforeach()
  add_library(${name} STATIC ${sources})
  target_link_libraries(${name} PUBLIC ${ARG_LINKS} PRIVATE ${ARG_PRIVATE_LINKS})
  if(ARG_WIDGETS)
    set(widgets ON)
  else()
    set(widgets OFF)
    # Forms are compiled only where widgets are.
    set_target_properties(${name} PROPERTIES AUTOUIC OFF)
  endif()
  lq_check_layering(${name} ${folder} "${ARG_USES}" ${widgets} ${sources})
endfunction()
