# The Debian package: `make package` has CPack's DEB generator build
# dustglow_VERSION_ARCH.deb from the install rules, with the binaries
# stripped and the dependencies worked out from them by dpkg-shlibdeps.

set(DUSTGLOW_PACKAGE_MAINTAINER "Dustglow developers <dustglow@example.org>"
	CACHE STRING "The maintainer the Debian package names")

# The package's own documents: the copyright, in Debian's machine-readable
# format, with the MIT licence of LICENSE (Debian calls it Expat); and the
# changelog whose first entry is the package's version.
set(changelog ${CMAKE_CURRENT_LIST_DIR}/changelog)
file(STRINGS ${changelog} first LIMIT_COUNT 1)
if(NOT first MATCHES "^dustglow \\(${PROJECT_VERSION}\\) ")
	message(FATAL_ERROR "${changelog}: the first entry must be for version "
		"${PROJECT_VERSION}, the project's")
endif()
add_custom_target(dustglow_changelog ALL)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/packaging)
dustglow_gzip(dustglow_changelog ${changelog} ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
	DESTINATION ${DUSTGLOW_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME dustglow)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${DUSTGLOW_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The first line is the synopsis; CPack indents the rest as Debian wants.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "screen saver of glowing motes drawn together and scattered again
Dustglow shows 72 glowing motes on a black screen, tied to each other by
spring-like forces that push apart up close and pull together from afar.
A mote that comes to rest gathers glow, turns from yellow towards white,
draws the others to it for a moment, and starts afresh.

The package holds saverhost, which runs screen-saver add-ons of this kind
in a window, full screen, in a terminal or into files, the Dustglow add-on,
and the dustglow command that screen-saver daemons and lockers run, with
the daemon's settings file and a desktop entry.")

# Installed below a staging folder with the real prefix, so that the
# desktop entry names the command where the package puts it.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the binaries do not name: the fonts of --fps and the settings panel;
# the GL that SDL draws a Wayland window with; ffmpeg for --record, and the
# programs that run dustglow.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libegl1, libgl1-mesa-dri")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xscreensaver | xsecurelock, ffmpeg")

include(CPack)
