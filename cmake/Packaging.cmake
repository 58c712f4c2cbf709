# The Debian package: both programs, the module's udev rule, the all-users configuration folder
# (tmpfiles.d), the desktop entry with its icons, AppStream metainfo, manual pages and the
# package's documentation. `bash scripts/package.sh` writes build/vexaro-setup_<version>_amd64.deb.

set(VEXARO_HOMEPAGE "https://github.com/vexaro/vexaro-setup" CACHE STRING "Project home page")
set(VEXARO_SCREENSHOT_URL
    "https://raw.githubusercontent.com/vexaro/vexaro-setup/main/docs/screenshots/settings-en.png"
    CACHE STRING "Screenshot shown by software centres")
set(VEXARO_PACKAGE_MAINTAINER "Vexaro Setup maintainers <vexaro-setup@users.noreply.github.com>"
    CACHE STRING "Maintainer field of the Debian package")

# Files whose text carries the version or the addresses above, and their compressed forms.
set(packaging_dir ${CMAKE_BINARY_DIR}/packaging)
set(metainfo ${packaging_dir}/io.github.vexaro.Setup.metainfo.xml)
configure_file(${CMAKE_SOURCE_DIR}/resources/desktop/io.github.vexaro.Setup.metainfo.xml.in ${metainfo} @ONLY)
set(compressed)
foreach(template resources/man/vexaro-setup.1 resources/man/vexaro-analyze.1 resources/debian/changelog)
  get_filename_component(name ${template} NAME)
  configure_file(${CMAKE_SOURCE_DIR}/${template}.in ${packaging_dir}/${name} @ONLY)
  # -n leaves name and time out of the header, so the same text gives the same bytes.
  add_custom_command(OUTPUT ${packaging_dir}/${name}.gz
                     COMMAND gzip -9nkf ${packaging_dir}/${name}
                     DEPENDS ${packaging_dir}/${name} VERBATIM)
  list(APPEND compressed ${packaging_dir}/${name}.gz)
endforeach()
configure_file(${CMAKE_SOURCE_DIR}/resources/debian/copyright.in ${packaging_dir}/copyright @ONLY)

# The application icon at the sizes of the hicolor theme, drawn by the artwork tool.
set(icon_sizes 16 22 24 32 48 64 128 256)
set(icons)
foreach(size ${icon_sizes})
  list(APPEND icons ${packaging_dir}/icons/hicolor/${size}x${size}/apps/vexaro-setup.png)
endforeach()
# In a sanitizer build the leak check would fail the build on what Qt's platform plugin keeps.
add_custom_command(OUTPUT ${icons}
                   COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0 $<TARGET_FILE:make-artwork>
                           --icons ${packaging_dir}/icons
                   DEPENDS make-artwork VERBATIM)
add_custom_target(vexaro_packaging_files ALL DEPENDS ${compressed} ${icons})

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                                                GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
install(TARGETS vexaro-setup vexaro-analyze RUNTIME DESTINATION bin)
install(FILES ${CMAKE_SOURCE_DIR}/resources/udev/60-vexaro.rules DESTINATION lib/udev/rules.d)
install(FILES ${CMAKE_SOURCE_DIR}/resources/desktop/vexaro-setup.tmpfiles.conf DESTINATION lib/tmpfiles.d
        RENAME vexaro-setup.conf)
install(FILES ${CMAKE_SOURCE_DIR}/resources/desktop/vexaro-setup.desktop DESTINATION share/applications)
install(FILES ${metainfo} DESTINATION share/metainfo)
install(DIRECTORY ${packaging_dir}/icons/ DESTINATION share/icons)
install(FILES ${packaging_dir}/vexaro-setup.1.gz ${packaging_dir}/vexaro-analyze.1.gz DESTINATION share/man/man1)
install(FILES ${packaging_dir}/copyright ${packaging_dir}/changelog.gz DESTINATION share/doc/vexaro-setup)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vexaro-setup)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Norvale)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES TRUE)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "setup and calibration tool for the Vexaro touch module")
# The summary above is the synopsis line; this is the extended description below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "The Vexaro interactive touch module is a USB infrared camera mounted at a
projector that turns a pen or fingers on the projected image into touch input.
This tool finds the module, sets its input mode, mounting and lens type, shows
its live camera image for aiming it, and calibrates it automatically or by pen
touches. The package lets the user logged in at the seat use the module
without root.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VEXARO_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${VEXARO_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The dialogs name Windows faces; these stand in for them, with CJK and Arabic coverage.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core, fonts-noto-core, fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/resources/debian/postinst
                                       ${CMAKE_SOURCE_DIR}/resources/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
include(CPack)
