# The program is one library per top-level folder. A library may include the headers of its own
# folder and of the folders named after USES, and nothing else of the program's; widget headers
# (Qt Widgets) only where WIDGETS is given. The include paths say it first: there is no include
# path to the source root, and each library's headers are reached through an include folder of the
# build tree that holds only a link named after the library's folder ("core" -> core/), given to
# the library itself and to what links it (the folders after USES). A header of a folder outside
# them is not found. What paths cannot express is checked before a library is built
# (cmake/CheckLayering.cmake): widget headers outside WIDGETS, an include that climbs out with
# "..", and the headers of tests/ and bench/ in program code. Either way the build stops at the
# file and the line.

# The folders that hold the program's libraries.
set(LQ_LAYER_FOLDERS platform core learn pages sound modules recorder session ui app)

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

# lq_folder_include_dir(<folder> <out-var>): the include folder that reaches <folder>/ of the
# source tree as "<folder>/Name.h" and nothing else: ${CMAKE_BINARY_DIR}/include/lq_<folder>,
# holding one link <folder> -> ${CMAKE_SOURCE_DIR}/<folder>.
function(lq_folder_include_dir folder var)
  set(dir ${CMAKE_BINARY_DIR}/include/lq_${folder})
  file(MAKE_DIRECTORY ${dir})
  file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${dir}/${folder} RESULT linked SYMBOLIC)
  if(NOT linked EQUAL 0)
    message(FATAL_ERROR "Could not link ${dir}/${folder} to ${CMAKE_SOURCE_DIR}/${folder}: ${linked}")
  endif()
  set(${var} ${dir} PARENT_SCOPE)
endfunction()

# The generated header Version.h, for the few files that show the version (lq_version).
add_library(lq_version INTERFACE)
target_include_directories(lq_version INTERFACE ${CMAKE_BINARY_DIR}/generated)

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
# LINKS (public) and PRIVATE_LINKS, its includes checked against USES and WIDGETS. It links the
# libraries of the USES folders (public: their include paths go on to what links it); a library
# of the program among LINKS must be named after USES as well.
function(lq_library name)
  cmake_parse_arguments(ARG "WIDGETS" "" "USES;LINKS;PRIVATE_LINKS;EXCLUDE" ${ARGN})
  get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  if(NOT folder IN_LIST LQ_LAYER_FOLDERS)
    message(FATAL_ERROR "${folder}/ is not one of the program's library folders (${LQ_LAYER_FOLDERS})")
  endif()
  set(used_libraries "")
  foreach(used ${ARG_USES})
    if(NOT used IN_LIST LQ_LAYER_FOLDERS)
      message(FATAL_ERROR "${name} uses ${used}/, which is not a library folder")
    endif()
    get_property(used_library GLOBAL PROPERTY LQ_LIBRARY_OF_${used})
    if(NOT used_library)
      message(FATAL_ERROR "${name} uses ${used}/, whose library is not defined yet (lowest layer first)")
    endif()
    list(APPEND used_libraries ${used_library})
  endforeach()
  foreach(linked ${ARG_LINKS} ${ARG_PRIVATE_LINKS})
    get_property(linked_folder GLOBAL PROPERTY LQ_FOLDER_OF_${linked})
    if(linked_folder AND NOT linked_folder IN_LIST ARG_USES)
      message(FATAL_ERROR "${name} links ${linked} but does not name ${linked_folder} after USES")
    endif()
  endforeach()
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  foreach(excluded ${ARG_EXCLUDE})
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${excluded})
  endforeach()
  add_library(${name} STATIC ${sources})
  target_link_libraries(${name} PUBLIC ${used_libraries} ${ARG_LINKS} PRIVATE ${ARG_PRIVATE_LINKS})
  lq_folder_include_dir(${folder} include_dir)
  target_include_directories(${name} PUBLIC ${include_dir})
  set_property(GLOBAL PROPERTY LQ_LIBRARY_OF_${folder} ${name})
  set_property(GLOBAL PROPERTY LQ_FOLDER_OF_${name} ${folder})
  if(ARG_WIDGETS)
    set(widgets ON)
  else()
    set(widgets OFF)
    # Forms are compiled only where widgets are.
    set_target_properties(${name} PROPERTIES AUTOUIC OFF)
  endif()
  lq_check_layering(${name} ${folder} "${ARG_USES}" ${widgets} ${sources})
endfunction()
