# The Earth map: NASA's Visible Earth picture from Debian's xplanet-images,
# turned into the 24-bit BMP the viewer textures the Earth with.
if(QUOR_GUI)
    include(GNUInstallDirs)
    set(QUOR_EARTH_IMAGE /usr/share/xplanet/images/earth.jpg CACHE FILEPATH
        "World map (full circle of longitude across, north up) the Earth map is made from")
    if(NOT EXISTS ${QUOR_EARTH_IMAGE})
        message(FATAL_ERROR "The Earth map needs ${QUOR_EARTH_IMAGE}: install the Debian package "
            "xplanet-images, or point QUOR_EARTH_IMAGE at another world map.")
    endif()

    add_executable(quor-mkmap tools/mkmap/mkmap.cpp)
    target_link_libraries(quor-mkmap PRIVATE Qt6::Gui)

    set(QUOR_EARTH_MAP ${CMAKE_BINARY_DIR}/data/Weltkart.bmp)
    add_custom_command(OUTPUT ${QUOR_EARTH_MAP}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/data
        COMMAND quor-mkmap ${QUOR_EARTH_IMAGE} ${QUOR_EARTH_MAP}
        DEPENDS quor-mkmap ${QUOR_EARTH_IMAGE}
        COMMENT "Making the Earth map data/Weltkart.bmp"
        VERBATIM)
    add_custom_target(earth-map ALL DEPENDS ${QUOR_EARTH_MAP})
    install(FILES ${QUOR_EARTH_MAP} DESTINATION ${CMAKE_INSTALL_DATADIR}/quor)

    add_executable(quor_mkmap_tests tools/mkmap/test_mkmap.cpp)
    target_link_libraries(quor_mkmap_tests PRIVATE quor_core Qt6::Gui GTest::gtest GTest::gtest_main)
    target_compile_definitions(quor_mkmap_tests PRIVATE
        QUOR_MKMAP="$<TARGET_FILE:quor-mkmap>" QUOR_EARTH_MAP="${QUOR_EARTH_MAP}")
    add_dependencies(quor_mkmap_tests earth-map)
    gtest_discover_tests(quor_mkmap_tests DISCOVERY_TIMEOUT 60 PROPERTIES LABELS tools)
endif()
