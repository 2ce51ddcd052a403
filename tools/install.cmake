# What `cmake --install` adds beside the programs and the Earth map: the sample
# station, the desktop entry with its icon, and a test that installs into a
# scratch prefix and looks at the result.
include(GNUInstallDirs)

install(FILES ${CMAKE_SOURCE_DIR}/data/station.3ds DESTINATION ${CMAKE_INSTALL_DATADIR}/quor)

if(QUOR_GUI)
    # The main icon drawn into PNGs for the hicolor theme at the sizes menus, file
    # managers and software centres ask for, and the same drawing as SVG for the rest.
    add_executable(quor-mkicon tools/mkicon/mkicon.cpp resources/gui/icons.cpp)
    target_include_directories(quor-mkicon PRIVATE ${CMAKE_SOURCE_DIR})
    target_link_libraries(quor-mkicon PRIVATE Qt6::Gui)

    set(QUOR_ICON_SIZES 16 32 48 64 128 256)
    set(QUOR_ICONS)
    foreach(size ${QUOR_ICON_SIZES})
        set(icon ${CMAKE_BINARY_DIR}/icons/${size}x${size}/quor.png)
        add_custom_command(OUTPUT ${icon}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/${size}x${size}
            COMMAND quor-mkicon ${icon} ${size}
            DEPENDS quor-mkicon
            COMMENT "Drawing the ${size} x ${size} program icon"
            VERBATIM)
        list(APPEND QUOR_ICONS ${icon})
        install(FILES ${icon} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()
    add_custom_target(program-icons ALL DEPENDS ${QUOR_ICONS})
    install(FILES ${CMAKE_SOURCE_DIR}/resources/desktop/quor.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

    # Written at install time, because Exec and Path must name the prefix that
    # is installed to, and `cmake --install --prefix` only says so then.
    install(CODE "
        set(QUOR_DESKTOP_TEMPLATE [[${CMAKE_SOURCE_DIR}/resources/desktop/quor.desktop.in]])
        set(QUOR_DESKTOP_STAGING [[${CMAKE_BINARY_DIR}/desktop/quor.desktop]])
        set(QUOR_BINDIR [[${CMAKE_INSTALL_BINDIR}]])
        set(QUOR_DATADIR [[${CMAKE_INSTALL_DATADIR}]])
        include([[${CMAKE_SOURCE_DIR}/tools/install/desktop_entry.cmake]])")

    add_executable(quor_mkicon_tests tools/mkicon/test_mkicon.cpp resources/gui/icons.cpp)
    target_include_directories(quor_mkicon_tests PRIVATE ${CMAKE_SOURCE_DIR})
    find_package(Qt6 REQUIRED COMPONENTS Svg)
    target_link_libraries(quor_mkicon_tests PRIVATE Qt6::Gui Qt6::Svg GTest::gtest)
    target_compile_definitions(quor_mkicon_tests PRIVATE QUOR_MKICON="$<TARGET_FILE:quor-mkicon>"
        QUOR_ICON_SVG="${CMAKE_SOURCE_DIR}/resources/desktop/quor.svg")
    add_dependencies(quor_mkicon_tests quor-mkicon)
    gtest_discover_tests(quor_mkicon_tests DISCOVERY_TIMEOUT 60 PROPERTIES LABELS tools)

    # Installs everything the build made, so it runs after a full build.
    find_program(QUOR_DESKTOP_FILE_VALIDATE desktop-file-validate)
    add_test(NAME install.prefix_and_destdir
        COMMAND bash ${CMAKE_SOURCE_DIR}/tests/install/check.sh
            ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR} ${CMAKE_COMMAND} ${QUOR_DESKTOP_FILE_VALIDATE})
    set_tests_properties(install.prefix_and_destdir PROPERTIES LABELS install)
endif()
