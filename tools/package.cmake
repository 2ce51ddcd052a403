# The Debian package (`scripts/package`, CPack's DEB generator) and what it adds to
# an install besides the programs: manual pages made from each program's --help,
# the AppStream entry, the copyright file and the changelog.
include(GNUInstallDirs)

set(QUOR_MAINTAINER "QUOR developers <maintainers@users.noreply.c-seed-88a3614f.example>")
# Dates in the generated pages and files stay those of the release, not of the build.
set(QUOR_RELEASE_EPOCH 1796688000)

set(QUOR_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/quor)
install(FILES ${CMAKE_SOURCE_DIR}/resources/desktop/copyright DESTINATION ${QUOR_DOCDIR})
configure_file(${CMAKE_SOURCE_DIR}/resources/desktop/changelog.in ${CMAKE_BINARY_DIR}/desktop/changelog @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/desktop/changelog.gz
    COMMAND gzip -9nkf ${CMAKE_BINARY_DIR}/desktop/changelog
    DEPENDS ${CMAKE_BINARY_DIR}/desktop/changelog
    VERBATIM)
add_custom_target(package-changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/desktop/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/desktop/changelog.gz DESTINATION ${QUOR_DOCDIR})

set(QUOR_METAINFO org.quor.QUOR.metainfo.xml)
configure_file(${CMAKE_SOURCE_DIR}/resources/desktop/${QUOR_METAINFO}.in ${CMAKE_BINARY_DIR}/desktop/${QUOR_METAINFO}
    @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/desktop/${QUOR_METAINFO} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Each page is the program's own --help and --version, so it cannot say less than
# the program does; the package check compares the two.
find_program(QUOR_HELP2MAN help2man)
# Called once every fragment has made its programs.
function(quor_add_man_pages)
    if(QUOR_HELP2MAN)
        set(QUOR_MAN_PAGES)
        foreach(entry "quor|view a space station on its orbit in 3-D"
                      "launcher|start the QUOR viewer after an antialiasing check"
                      "quor-inspect|describe a .3ds model, draw the scene or list passes"
                      "quor-thumbnailer|draw thumbnails of .3ds models for file managers")
            string(REPLACE "|" ";" entry "${entry}")
            list(GET entry 0 program)
            list(GET entry 1 summary)
            if(NOT TARGET ${program})
                continue()
            endif()
            set(page ${CMAKE_BINARY_DIR}/man/${program}.1)
            add_custom_command(OUTPUT ${page}.gz
                COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
                COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${QUOR_RELEASE_EPOCH}
                    ${QUOR_HELP2MAN} --no-info --section=1 --name=${summary} --output=${page}
                    $<TARGET_FILE:${program}>
                COMMAND gzip -9nf ${page}
                DEPENDS ${program}
                COMMENT "Writing the manual page of ${program}"
                VERBATIM)
            list(APPEND QUOR_MAN_PAGES ${page}.gz)
        endforeach()
        add_custom_target(man-pages ALL DEPENDS ${QUOR_MAN_PAGES})
        install(FILES ${QUOR_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
        list(LENGTH QUOR_MAN_PAGES count)
        if(count EQUAL 4)
            add_test(NAME package.help_and_manual_pages
                COMMAND bash ${CMAKE_SOURCE_DIR}/tests/package/helppages.sh ${CMAKE_BINARY_DIR}
                    ${CMAKE_BINARY_DIR}/man ${PROJECT_VERSION})
            set_tests_properties(package.help_and_manual_pages PROPERTIES LABELS tools)
        endif()
    else()
        message(STATUS "help2man not found: no manual pages (Debian package help2man)")
    endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL quor_add_man_pages)

if(QUOR_GUI)
    set(CPACK_GENERATOR DEB)
    set(CPACK_PACKAGE_NAME quor)
    set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
    set(CPACK_PACKAGE_CONTACT "${QUOR_MAINTAINER}")
    set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUOR_MAINTAINER}")
    set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "3-D viewer of a space station on its orbit")
    string(CONCAT CPACK_PACKAGE_DESCRIPTION
        "QUOR shows a 3D Studio (.3ds) model of a space station on its orbit around\n"
        "the textured Earth, beside a panel with the station's speed, altitude and\n"
        "place, seen from space, from the station or from a chaser vehicle. Besides a\n"
        "simulated orbit it shows where the real station is now, from two-line orbital\n"
        "elements, and when it next passes over the observer.\n"
        "\n"
        "The package also holds quor-inspect, which describes a model, draws the scene\n"
        "or lists passes and transits of the Sun and the Moon on the command line, and\n"
        "a thumbnailer that draws .3ds models for file managers.")
    set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    # Libraries come from the binaries; what is loaded without being linked is named:
    # Qt's X11 platform plugin, and the font the scene text is drawn in.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-liberation")
    set(CPACK_STRIP_FILES ON)
    set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
    # Installed under DESTDIR with the final prefix, so that the desktop entry names /usr.
    set(CPACK_SET_DESTDIR ON)
    set(CPACK_INSTALL_PREFIX /usr)
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
    set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
    include(CPack)
endif()
