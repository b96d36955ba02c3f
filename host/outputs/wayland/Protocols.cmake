# The Wayland protocols the native Wayland output speaks, as wayland-scanner
# makes their C bindings at build time: xdg-shell and ext-idle-notify-v1 from
# Debian's wayland-protocols, and the layer-shell and KDE idle protocols from
# the descriptions in protocols/ (no Debian package carries them). The
# headers land in the build tree as wayland/NAME-client-protocol.h.
pkg_check_modules(WAYLAND REQUIRED IMPORTED_TARGET wayland-client)
pkg_get_variable(WAYLAND_SCANNER wayland-scanner wayland_scanner)
pkg_get_variable(WAYLAND_PROTOCOLS_DIR wayland-protocols pkgdatadir)
if(NOT WAYLAND_SCANNER OR NOT WAYLAND_PROTOCOLS_DIR)
	message(FATAL_ERROR "wayland-scanner and wayland-protocols are needed: "
		"install libwayland-dev and wayland-protocols (scripts/install-deps run)")
endif()

set(WAYLAND_PROTOCOL_FILES
	${WAYLAND_PROTOCOLS_DIR}/stable/xdg-shell/xdg-shell.xml
	${WAYLAND_PROTOCOLS_DIR}/staging/ext-idle-notify/ext-idle-notify-v1.xml
	${CMAKE_CURRENT_LIST_DIR}/protocols/wlr-layer-shell-unstable-v1.xml
	${CMAKE_CURRENT_LIST_DIR}/protocols/kde-idle.xml)

set(WAYLAND_GENERATED ${CMAKE_CURRENT_BINARY_DIR}/wayland-protocols)
file(MAKE_DIRECTORY ${WAYLAND_GENERATED}/wayland)
set(WAYLAND_PROTOCOL_SOURCES)
foreach(xml ${WAYLAND_PROTOCOL_FILES})
	get_filename_component(name ${xml} NAME_WE)
	set(header ${WAYLAND_GENERATED}/wayland/${name}-client-protocol.h)
	set(code ${WAYLAND_GENERATED}/${name}-protocol.c)
	add_custom_command(OUTPUT ${header} ${code}
		COMMAND ${WAYLAND_SCANNER} client-header ${xml} ${header}
		COMMAND ${WAYLAND_SCANNER} private-code ${xml} ${code}
		DEPENDS ${xml}
		COMMENT "wayland-scanner ${name}"
		VERBATIM)
	list(APPEND WAYLAND_PROTOCOL_SOURCES ${header} ${code})
endforeach()

add_library(wayland_protocols STATIC ${WAYLAND_PROTOCOL_SOURCES})
target_include_directories(wayland_protocols PUBLIC ${WAYLAND_GENERATED})
target_link_libraries(wayland_protocols PUBLIC PkgConfig::WAYLAND)
set_target_properties(wayland_protocols PROPERTIES
	POSITION_INDEPENDENT_CODE ON
	LINKER_LANGUAGE C)
