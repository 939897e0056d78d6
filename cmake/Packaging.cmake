# Installing like a desktop program, and the Debian package.
#
# cmake --install puts under the prefix: bin/zelvan-programmer (and bin/zelvan-cli when that
# target exists), share/doc/zelvan-programmer/readme.txt (where Help > Read Me looks when it is
# not beside the program), the desktop entry, the icon and man pages made from each program's
# --help by help2man. cpack -G DEB makes a .deb of the same tree under /usr whose dependencies
# dpkg-shlibdeps reads off the binaries (the Debian Qt runtime packages among them).

set(ZELVAN_PROGRAMS zelvan-programmer)
foreach(program zelvan-cli zelvan-board-sim)
    if(TARGET ${program})
        list(APPEND ZELVAN_PROGRAMS ${program})
    endif()
endforeach()

install(TARGETS ${ZELVAN_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES src/app/readme.txt DESTINATION ${ZELVAN_INSTALL_DOCDIR})
install(FILES packaging/zelvan-programmer.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/zelvan-programmer.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# ---- Man pages: help2man runs each program with --help and --version after it is built, so the
# page says what the program says and is never written twice; packaging/<program>.h2m adds the
# sections --help has no room for (EXAMPLES, ENVIRONMENT, EXIT STATUS, FILES, ...).
find_program(HELP2MAN help2man)
find_program(GZIP gzip)
if(HELP2MAN AND GZIP AND NOT CMAKE_CROSSCOMPILING)
    set(zelvan_man_description_zelvan-programmer "program LPC9xx flash microcontrollers (window)")
    set(zelvan_man_description_zelvan-cli "program LPC9xx flash microcontrollers (command line)")
    set(zelvan_man_description_zelvan-board-sim "simulated programmer board with an LPC9xx target")
    set(man_dir ${PROJECT_BINARY_DIR}/man)
    set(man_pages)
    foreach(program IN LISTS ZELVAN_PROGRAMS)
        set(page ${man_dir}/${program}.1)
        add_custom_command(
            OUTPUT ${page}.gz
            COMMAND ${CMAKE_COMMAND} -E make_directory ${man_dir}
            COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
                    ${HELP2MAN} --no-info --section=1 --name=${zelvan_man_description_${program}}
                    --include=${PROJECT_SOURCE_DIR}/packaging/${program}.h2m --output=${page} $<TARGET_FILE:${program}>
            COMMAND ${GZIP} -9nf ${page}
            DEPENDS ${program} ${PROJECT_SOURCE_DIR}/packaging/${program}.h2m
            COMMENT "Man page of ${program} (help2man)"
            VERBATIM)
        list(APPEND man_pages ${page}.gz)
    endforeach()
    add_custom_target(man_pages ALL DEPENDS ${man_pages})
    install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
    message(WARNING "help2man or gzip not found: no man pages are made or installed (apt-get install help2man)")
endif()

# ---- The Debian package
set(CPACK_PACKAGE_NAME zelvan-programmer)
set(CPACK_PACKAGE_VENDOR "Zelvan Engineering")
set(CPACK_PACKAGE_CONTACT "Zelvan Engineering <programmer@zelvan.example>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "LPC9xx flash microcontroller programmer")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Zelvan Programmer programs Philips/NXP LPC9xx flash microcontrollers (LPC901 to LPC954)\n"
       "through a programmer board on a serial line: it identifies the part, erases, loads Intel HEX\n"
       "firmware, programs it, reads back CRCs and sets configuration and security bytes. The window\n"
       "comes with a built-in simulated board to try it without hardware; zelvan-cli gives every\n"
       "command to scripts and production lines: exit codes, verify by CRC, several boards at once,\n"
       "serial numbers and a record of every chip.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://zelvan.example/programmer")
# The dependencies are those of the binaries, as dpkg-shlibdeps finds them (libqt6core6,
# libqt6gui6, libqt6widgets6, libqt6serialport6, libc6, libstdc++6, ...).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# zelvan-cli --record sqlite:FILE and postgresql://... load Qt's SQL drivers, which are plugins the
# binaries do not name.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libqt6sql6-sqlite, libqt6sql6-psql")
include(CPack)
