# Warnings for the project's own targets; third-party headers come in as system includes.
function(vexaro_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
                                           -Wcast-align -Wnull-dereference -Wdouble-promotion
                                           -Wformat=2 -Wimplicit-fallthrough)
endfunction()

# One static library per folder, built from every source the folder holds.
function(vexaro_folder_library target)
  file(GLOB sources CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h ${CMAKE_CURRENT_SOURCE_DIR}/*.ui)
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  add_library(${target} STATIC ${sources})
  vexaro_warnings(${target})
  target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR})
endfunction()
