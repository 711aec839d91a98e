# Installation as a desktop application and the Debian package (make package).
# The program folder goes to <prefix>/lib/velvo with a <prefix>/bin/velvo link;
# the desktop entry, icons and AppStream metainfo go to <prefix>/share.

set(VELVO_APP_ID "org.velvo.Velvo" CACHE STRING "Reverse-DNS application id")
set(VELVO_LICENSE "LicenseRef-proprietary" CACHE STRING "SPDX licence expression of Velvo")
set(VELVO_HOMEPAGE "https://velvo.org" CACHE STRING "Home page named in the metainfo")
set(VELVO_RELEASE_DATE "2026-12-10")
set(VELVO_MAINTAINER "Velvo developers <velvo@velvo.org>")
set(VELVO_LIB_DIR lib/velvo)
set(VELVO_LINUX_DIR ${CMAKE_BINARY_DIR}/linux)
# The running window names its desktop entry, so docks and Wayland match the two.
set_property(SOURCE src/app/Application.cpp APPEND PROPERTY COMPILE_DEFINITIONS VELVO_APP_ID="${VELVO_APP_ID}")

configure_file(${CMAKE_CURRENT_LIST_DIR}/velvo.desktop.in ${VELVO_LINUX_DIR}/${VELVO_APP_ID}.desktop @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/velvo.metainfo.xml.in
  ${VELVO_LINUX_DIR}/${VELVO_APP_ID}.metainfo.xml @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/copyright.in ${VELVO_LINUX_DIR}/copyright @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog.in ${VELVO_LINUX_DIR}/changelog @ONLY)

# The menu icon in the sizes desktops pick from, rendered from the one SVG.
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
find_program(GZIP_PROGRAM gzip REQUIRED)
set(VELVO_ICON_SVG ${CMAKE_SOURCE_DIR}/data/icons/velvo.svg)
set(VELVO_LINUX_OUTPUTS ${VELVO_LINUX_DIR}/changelog.gz)
foreach(size 48 64 128 256)
  set(png ${VELVO_LINUX_DIR}/icons/${size}x${size}/${VELVO_APP_ID}.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${VELVO_LINUX_DIR}/icons/${size}x${size}
    COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${VELVO_ICON_SVG}
    DEPENDS ${VELVO_ICON_SVG} VERBATIM)
  list(APPEND VELVO_LINUX_OUTPUTS ${png})
  install(FILES ${png} DESTINATION share/icons/hicolor/${size}x${size}/apps)
endforeach()
add_custom_command(OUTPUT ${VELVO_LINUX_DIR}/changelog.gz
  COMMAND ${GZIP_PROGRAM} -9 -n -f -k ${VELVO_LINUX_DIR}/changelog
  DEPENDS ${VELVO_LINUX_DIR}/changelog VERBATIM)
add_custom_target(velvo_linux_files ALL DEPENDS ${VELVO_LINUX_OUTPUTS})
add_dependencies(velvo velvo_linux_files)

# The program folder.
install(TARGETS velvo vxenc RUNTIME DESTINATION ${VELVO_LIB_DIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/Profiles DESTINATION ${VELVO_LIB_DIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/help/ DESTINATION ${VELVO_LIB_DIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/icons DESTINATION ${VELVO_LIB_DIR} FILES_MATCHING PATTERN "*.svg")
if(EXISTS ${CMAKE_SOURCE_DIR}/data/Preferences.ini)
  # The template of every user's first Preferences.ini.
  install(FILES ${CMAKE_SOURCE_DIR}/data/Preferences.ini DESTINATION ${VELVO_LIB_DIR})
endif()
install(CODE "
  set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/velvo\")
  file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin\")
  file(REMOVE \"\${link}\")
  file(CREATE_LINK ../${VELVO_LIB_DIR}/velvo \"\${link}\" SYMBOLIC)
  message(STATUS \"Installing: \${link}\")")

# The desktop side.
install(FILES ${VELVO_LINUX_DIR}/${VELVO_APP_ID}.desktop DESTINATION share/applications)
install(FILES ${VELVO_LINUX_DIR}/${VELVO_APP_ID}.metainfo.xml DESTINATION share/metainfo)
install(FILES ${VELVO_ICON_SVG} DESTINATION share/icons/hicolor/scalable/apps RENAME ${VELVO_APP_ID}.svg)
install(FILES ${VELVO_LINUX_DIR}/copyright ${VELVO_LINUX_DIR}/changelog.gz DESTINATION share/doc/velvo)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/lintian-overrides DESTINATION share/lintian/overrides RENAME velvo)

# The Debian package: velvo_<version>_<arch>.deb in the build folder.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velvo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${VELVO_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "batch video converter")
set(CPACK_PACKAGE_DESCRIPTION "Velvo converts many video files in one go: build a task list of files,
pick a conversion profile and start the batch. Each file is converted in turn
by FFmpeg while the window shows the progress and the status of every file.
Profiles can be adjusted and saved, and a preview pane plays the selected file.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES TRUE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${VELVO_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Beyond the linked libraries: the encoder runs ffmpeg (its measure links its
# own FFmpeg statically), the icons need the SVG plugin, and the preview plays through
# GStreamer (the MPEG program stream and ASF demuxers are in bad and ugly).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "ffmpeg, libqt6svg6, \
gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, gstreamer1.0-plugins-bad, \
gstreamer1.0-plugins-ugly, gstreamer1.0-libav")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gstreamer1.0-pulseaudio | gstreamer1.0-alsa, qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
include(CPack)
