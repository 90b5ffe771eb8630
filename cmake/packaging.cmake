# What is installed, and the packages CPack makes of it: a .deb on Linux (the executable and
# the man page), a .zip on Windows (the executable, the README, the examples and the manual as
# plain text, all in one folder); both with the page in the browser when the build made it
# (cmake/web.cmake).
if(WIN32)
    install(TARGETS kr570convert RUNTIME DESTINATION .)
    install(FILES README.md DESTINATION .)
    install(DIRECTORY examples DESTINATION .)
    find_program(KR570_GROFF groff)
    if(KR570_GROFF)
        set(manual ${CMAKE_BINARY_DIR}/kr570convert.txt)
        add_custom_command(
            OUTPUT ${manual}
            COMMAND ${KR570_GROFF} -man -Tascii -P-cbou ${PROJECT_SOURCE_DIR}/doc/kr570convert.1 > ${manual}
            DEPENDS ${PROJECT_SOURCE_DIR}/doc/kr570convert.1
            COMMENT "Formatting the manual as plain text"
            VERBATIM)
        add_custom_target(kr570_manual_text ALL DEPENDS ${manual})
        install(FILES ${manual} DESTINATION .)
    else()
        message(WARNING "groff not found: the package carries no manual (Debian: groff-base)")
    endif()
    if(KR570_WEB_PAGE_DIR)
        install(DIRECTORY ${KR570_WEB_PAGE_DIR}/ DESTINATION web)
    endif()
    set(CPACK_GENERATOR ZIP)
    set(CPACK_SYSTEM_NAME windows-x86_64)
    set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
    install(TARGETS kr570convert RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    # Debian keeps its manual pages compressed.
    set(manual ${CMAKE_BINARY_DIR}/kr570convert.1.gz)
    add_custom_command(
        OUTPUT ${manual}
        COMMAND gzip -9 -n -c ${PROJECT_SOURCE_DIR}/doc/kr570convert.1 > ${manual}
        DEPENDS ${PROJECT_SOURCE_DIR}/doc/kr570convert.1
        VERBATIM)
    add_custom_target(kr570_manual_gz ALL DEPENDS ${manual})
    install(FILES ${manual} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    if(KR570_WEB_PAGE_DIR)
        install(DIRECTORY ${KR570_WEB_PAGE_DIR}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/kr570convert/web)
    endif()
    set(CPACK_GENERATOR DEB)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
    # A static executable depends on nothing; a dynamic one gets its libraries from
    # dpkg-shlibdeps.
    if(NOT KR570_STATIC_RUNTIME)
        set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    endif()
endif()

set(CPACK_PACKAGE_NAME kr570convert)
set(CPACK_PACKAGE_VENDOR "KR570Convert maintainers")
set(CPACK_PACKAGE_CONTACT "KR570Convert maintainers <maintainers@kr570convert.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
    "Converts the configuration text of a KR570 stepper-motor controller into the Intel HEX\
 file of its 72-byte EEPROM configuration block, and such a HEX file back into text.")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
include(CPack)
