# Warnings for the project's own targets; third-party headers come in as system includes.
function(vexaro_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
                                           -Wcast-align -Wnull-dereference -Wdouble-promotion
                                           -Wformat=2 -Wimplicit-fallthrough)
endfunction()

# One static library per folder, built from every source the folder holds.
#   vexaro_folder_library(target [EXCEPT file...])
# EXCEPT leaves out files that a second, smaller library of the folder builds (see
# vexaro_part_library), so programs that need only that part link none of the rest.
function(vexaro_folder_library target)
  cmake_parse_arguments(arg "" "" "EXCEPT" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h ${CMAKE_CURRENT_SOURCE_DIR}/*.ui)
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  foreach(name ${arg_EXCEPT})
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${name})
  endforeach()
  add_library(${target} STATIC ${sources})
  vexaro_warnings(${target})
  target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR})
endfunction()

# A library of the named files of the current folder; the folder's library leaves them out.
function(vexaro_part_library target)
  list(TRANSFORM ARGN PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/ OUTPUT_VARIABLE sources)
  add_library(${target} STATIC ${sources})
  vexaro_warnings(${target})
  target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR})
endfunction()
