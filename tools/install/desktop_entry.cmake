# Runs inside `cmake --install`: writes the desktop entry for the prefix being
# installed to (which `--prefix` may change after configuring) and installs it
# under DESTDIR like any other file.
#
# Set by the caller: QUOR_DESKTOP_TEMPLATE, QUOR_DESKTOP_STAGING (a file in the
# build tree), QUOR_BINDIR, QUOR_DATADIR (as GNUInstallDirs gives them).

# A path as the string value of a key: backslashes are escaped.
function(quor_desktop_string value out)
    string(REPLACE "\\" "\\\\" value "${value}")
    set(${out} "${value}" PARENT_SCOPE)
endfunction()

# A program path as the first word of an Exec line: quoted when it holds
# anything the Exec syntax reserves, percent signs doubled, then escaped as a string.
function(quor_desktop_exec_arg value out)
    if(NOT value MATCHES "^[A-Za-z0-9_/.+,:=@-]+$")
        string(REPLACE "\\" "\\\\" value "${value}")
        string(REPLACE "\"" "\\\"" value "${value}")
        string(REPLACE "`" "\\`" value "${value}")
        string(REPLACE "$" "\\$" value "${value}")
        set(value "\"${value}\"")
    endif()
    string(REPLACE "%" "%%" value "${value}")
    quor_desktop_string("${value}" value)
    set(${out} "${value}" PARENT_SCOPE)
endfunction()

function(quor_install_desktop_entry)
    # DESTDIR only stages the files; the entry names where they will finally be.
    foreach(kind BINDIR DATADIR)
        if(IS_ABSOLUTE "${QUOR_${kind}}")
            set(${kind} "${QUOR_${kind}}")
        else()
            set(${kind} "${CMAKE_INSTALL_PREFIX}/${QUOR_${kind}}")
        endif()
    endforeach()

    quor_desktop_exec_arg("${BINDIR}/quor" QUOR_VIEWER_EXEC)
    quor_desktop_exec_arg("${BINDIR}/launcher" QUOR_LAUNCHER_EXEC)
    # The viewer reads Weltkart.bmp from its working directory.
    quor_desktop_string("${DATADIR}/quor" QUOR_DATA_PATH)
    configure_file("${QUOR_DESKTOP_TEMPLATE}" "${QUOR_DESKTOP_STAGING}" @ONLY)

    file(INSTALL DESTINATION "${DATADIR}/applications" TYPE FILE FILES "${QUOR_DESKTOP_STAGING}")
endfunction()

quor_install_desktop_entry()
