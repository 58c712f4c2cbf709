# Debian's hardening flags (bindnow, fortify, PIE, relro, stack protector) for normal builds, so the
# packaged programs carry them as a package built by dpkg-buildpackage would. Sanitizer and fuzz
# builds bring their own instrumentation, and a Debug build (-O0) cannot fortify, so those are left
# as they are. VEXARO_HARDENED tells the package check whether to insist on the flags.
set(VEXARO_HARDENED OFF)
if(NOT (VEXARO_SANITIZE OR VEXARO_TSAN OR VEXARO_FUZZ) AND NOT CMAKE_BUILD_TYPE STREQUAL "Debug")
  set(VEXARO_HARDENED ON)
  find_program(VEXARO_DPKG_BUILDFLAGS dpkg-buildflags)
  mark_as_advanced(VEXARO_DPKG_BUILDFLAGS)
  set(hardening_compile)
  set(hardening_link)
  if(VEXARO_DPKG_BUILDFLAGS)
    foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
      execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                              ${VEXARO_DPKG_BUILDFLAGS} --get ${kind}
                      OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE status)
      if(NOT status EQUAL 0)
        message(FATAL_ERROR "dpkg-buildflags --get ${kind} failed: ${status}")
      endif()
      separate_arguments(flags UNIX_COMMAND "${flags}")
      # Optimisation and debug information stay with the build type; the prefix map would
      # rewrite source paths in the developer's own debug information.
      list(FILTER flags EXCLUDE REGEX "^-O|^-g|^-ffile-prefix-map=|^-fdebug-prefix-map=")
      if(kind STREQUAL LDFLAGS)
        list(APPEND hardening_link ${flags})
      else()
        list(APPEND hardening_compile ${flags})
      endif()
    endforeach()
  else()
    # The same flags by hand where dpkg-buildflags is missing.
    set(hardening_compile -D_FORTIFY_SOURCE=2 -fstack-protector-strong -Wformat -Werror=format-security)
    set(hardening_link -Wl,-z,relro -Wl,-z,now)
  endif()
  list(JOIN hardening_compile " " hardening_compile)
  list(JOIN hardening_link " " hardening_link)
  string(APPEND CMAKE_CXX_FLAGS " ${hardening_compile}")
  foreach(kind EXE SHARED MODULE)
    string(APPEND CMAKE_${kind}_LINKER_FLAGS " ${hardening_link}")
  endforeach()
  # Debian's compiler makes PIE by default; this asks for it where a compiler does not.
  include(CheckPIESupported)
  check_pie_supported()
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)
  message(STATUS "Hardening flags: ${hardening_compile} | ${hardening_link}")
endif()
