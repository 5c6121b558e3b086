# Installation, manual pages and the Debian package.
#
#   cmake --install build --prefix DIR     installs without root
#   cd build && cpack -G DEB                makes regsqueeze_<version>_<arch>.deb
include(GNUInstallDirs)

install(TARGETS regsqueeze lz16 RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/player/ DESTINATION ${CMAKE_INSTALL_DATADIR}/regsqueeze/player
        FILES_MATCHING PATTERN "*.s" PATTERN "*.inc" PATTERN "*.cfg" PATTERN "README.md")
install(FILES README.md docs/file-format.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The manual pages are the programs' own help texts with a hand-kept part;
# a build without help2man, or with the sanitizers, simply has none. They
# name the folders the files are installed in: the build writes the
# configured prefix's, and installing under another prefix (--prefix,
# cpack's /usr) puts that one in their place.
find_program(HELP2MAN help2man)
if(HELP2MAN AND NOT REGSQUEEZE_SANITIZE AND NOT REGSQUEEZE_FUZZ)
    set(DOCDIR ${CMAKE_INSTALL_FULL_DOCDIR})
    set(PLAYERDIR ${CMAKE_INSTALL_FULL_DATADIR}/regsqueeze/player)
    set(MAN_PAGES)
    foreach(program regsqueeze lz16)
        configure_file(${CMAKE_SOURCE_DIR}/man/${program}.h2m ${CMAKE_BINARY_DIR}/man/${program}.h2m @ONLY)
        add_custom_command(
            OUTPUT ${CMAKE_BINARY_DIR}/${program}.1
            COMMAND ${HELP2MAN} --no-info --no-discard-stderr --version-string=${PROJECT_VERSION}
                    --include=${CMAKE_BINARY_DIR}/man/${program}.h2m --output=${CMAKE_BINARY_DIR}/${program}.1
                    $<TARGET_FILE:${program}>
            DEPENDS ${program} ${CMAKE_BINARY_DIR}/man/${program}.h2m
            COMMENT "Writing the manual page of ${program}")
        list(APPEND MAN_PAGES ${CMAKE_BINARY_DIR}/${program}.1)
    endforeach()
    add_custom_target(man_pages ALL DEPENDS ${MAN_PAGES})
    install(CODE "
        foreach(page ${MAN_PAGES})
            file(READ \${page} text)
            string(REPLACE \"${CMAKE_INSTALL_PREFIX}/\" \"\${CMAKE_INSTALL_PREFIX}/\" text \"\${text}\")
            get_filename_component(name \${page} NAME)
            file(INSTALL \${page} DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_MANDIR}/man1\")
            file(WRITE \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_MANDIR}/man1/\${name}\" \"\${text}\")
        endforeach()")
endif()

set(CPACK_PACKAGE_NAME regsqueeze)
set(CPACK_PACKAGE_VENDOR "regsqueeze developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "POKEY music compressor for Atari 8-bit machines, with a 6502 player")
set(CPACK_PACKAGE_CONTACT "regsqueeze developers <regsqueeze@localhost>")
set(CPACK_PACKAGE_INSTALL_DIRECTORY regsqueeze)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
# Dependencies come from the libraries the programs are linked with
# (Boost.Program_options, zlib and the C++ runtime), as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# lz16 sap and lz16 xex assemble the player with ca65 and ld65.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS cc65)
include(CPack)
