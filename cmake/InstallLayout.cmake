# Where an installed Dustglow keeps its files, below the prefix: saverhost in
# bin; the stand-in kits and the add-on in a folder of their own under lib;
# the screen saver's own command in bin as well, and where screen-saver
# daemons look for it.
# saverhost finds the kits and the add-on relative to itself, so that an
# installed tree works wherever it is moved.
include(GNUInstallDirs)

set(DUSTGLOW_INSTALL_PRIVATEDIR ${CMAKE_INSTALL_LIBDIR}/dustglow)
set(DUSTGLOW_INSTALL_ADDONDIR ${DUSTGLOW_INSTALL_PRIVATEDIR}/add-ons)
set(DUSTGLOW_INSTALL_HACKDIR ${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver)
set(DUSTGLOW_INSTALL_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/dustglow)

foreach(dir CMAKE_INSTALL_BINDIR CMAKE_INSTALL_LIBDIR CMAKE_INSTALL_LIBEXECDIR)
	if(IS_ABSOLUTE "${${dir}}")
		message(FATAL_ERROR "${dir} is ${${dir}}: it must be relative to the prefix, "
			"so that an installed Dustglow can be moved")
	endif()
endforeach()

# dustglow_install_relative(VARIABLE FROM TO): the path from one folder below
# the prefix to a file or folder below it.
function(dustglow_install_relative variable from to)
	file(RELATIVE_PATH path /prefix/${from} /prefix/${to})
	string(REGEX REPLACE "/$" "" path "${path}")
	set(${variable} "${path}" PARENT_SCOPE)
endfunction()

dustglow_install_relative(DUSTGLOW_BIN_TO_PRIVATE ${CMAKE_INSTALL_BINDIR}
	${DUSTGLOW_INSTALL_PRIVATEDIR})
dustglow_install_relative(DUSTGLOW_BIN_TO_ADDON ${CMAKE_INSTALL_BINDIR}
	${DUSTGLOW_INSTALL_ADDONDIR}/Dustglow)
dustglow_install_relative(DUSTGLOW_ADDON_TO_PRIVATE ${DUSTGLOW_INSTALL_ADDONDIR}
	${DUSTGLOW_INSTALL_PRIVATEDIR})
dustglow_install_relative(DUSTGLOW_HACK_TO_SAVERHOST ${DUSTGLOW_INSTALL_HACKDIR}
	${CMAKE_INSTALL_BINDIR}/saverhost)

find_program(DUSTGLOW_GZIP gzip REQUIRED)

# dustglow_gzip(TARGET SOURCE OUTPUT): OUTPUT is SOURCE compressed as Debian
# wants man pages and changelogs, without a name or a time inside so that the
# same source gives the same bytes; TARGET's build makes it. OUTPUT ends in
# .gz.
function(dustglow_gzip target source output)
	string(REGEX REPLACE "\\.gz$" "" plain "${output}")
	add_custom_command(OUTPUT ${output}
		COMMAND ${CMAKE_COMMAND} -E copy ${source} ${plain}
		COMMAND ${DUSTGLOW_GZIP} -9 -n -f ${plain}
		DEPENDS ${source}
		VERBATIM)
	target_sources(${target} PRIVATE ${output})
endfunction()
