# What only the Windows build has. Included on Windows.

# The tool's sources compile against the headers of the Universal C Runtime too (_UCRT), in
# which FILE is opaque: nothing may reach into the C runtime's structures. These objects are
# compiled only, never linked; the executable itself uses msvcrt.dll, which every Windows has.
get_target_property(kr570_sources kr570 SOURCES)
add_library(kr570_ucrt_headers OBJECT ${kr570_sources} src/driver/main.cpp
                                      src/platform/entry_windows.cpp)
target_include_directories(kr570_ucrt_headers PRIVATE ${PROJECT_SOURCE_DIR}/src)
target_compile_definitions(kr570_ucrt_headers PRIVATE _UCRT WIN32_LEAN_AND_MEAN NOMINMAX
                                                      KR570_VERSION="${PROJECT_VERSION}")
# stdio.h comes first: the wchar.h of mingw-w64 10 declares the old, open FILE even for the
# UCRT, and whichever of the two a source includes first decides.
target_compile_options(kr570_ucrt_headers PRIVATE -ffp-contract=off -include stdio.h)
target_link_libraries(kr570_ucrt_headers PRIVATE kr570_warnings)

# The entry point is wmain, which the C runtime hands the wide arguments (-municode).
target_link_options(kr570convert PRIVATE -municode)

# What makes kr570convert.exe a proper Windows program: the version information that Explorer
# shows in its properties (product, description, version, copyright), taken from the project's
# one version, an application manifest (cmake/kr570convert.manifest) and an icon.
enable_language(RC)

# The icon is drawn once, as cmake/kr570convert.svg, and rendered at the sizes that Windows
# shows a program at: 16, 32 and 48 pixels, and 256 for large views, which an .ico keeps as PNG.
find_program(KR570_RSVG_CONVERT rsvg-convert)
find_program(KR570_ICOTOOL icotool)
if(NOT KR570_RSVG_CONVERT OR NOT KR570_ICOTOOL)
    message(FATAL_ERROR "The icon of kr570convert.exe needs rsvg-convert and icotool "
                        "(Debian: apt-get install librsvg2-bin icoutils)")
endif()
set(icon_drawing ${PROJECT_SOURCE_DIR}/cmake/kr570convert.svg)
set(KR570_ICON ${CMAKE_BINARY_DIR}/kr570convert.ico)
set(icon_images "")
foreach(size 16 32 48 256)
    set(image ${CMAKE_BINARY_DIR}/kr570convert-${size}.png)
    add_custom_command(OUTPUT ${image}
                       COMMAND ${KR570_RSVG_CONVERT} -w ${size} -h ${size} -o ${image} ${icon_drawing}
                       DEPENDS ${icon_drawing} VERBATIM)
    list(APPEND icon_images ${image})
endforeach()
list(POP_BACK icon_images large_image)
add_custom_command(OUTPUT ${KR570_ICON}
                   COMMAND ${KR570_ICOTOOL} -c -o ${KR570_ICON} ${icon_images} --raw=${large_image}
                   DEPENDS ${icon_images} ${large_image} VERBATIM)

# The copyright year is the year of the build, or of SOURCE_DATE_EPOCH when that is set.
string(TIMESTAMP copyright_year "%Y" UTC)
set(KR570_COPYRIGHT "Copyright (C) ${copyright_year} KR570Convert maintainers")

# Windows numbers a version with four 16-bit parts: 1.01 is 1.1.0.0.
string(REPLACE "." ";" version_parts "${PROJECT_VERSION}.0.0.0")
list(SUBLIST version_parts 0 4 version_parts)
set(version_numbers "")
foreach(part IN LISTS version_parts)
    math(EXPR part "${part}")
    list(APPEND version_numbers ${part})
endforeach()
list(JOIN version_numbers "," KR570_VERSION_NUMBERS)

set(KR570_MANIFEST ${PROJECT_SOURCE_DIR}/cmake/kr570convert.manifest)
configure_file(${PROJECT_SOURCE_DIR}/cmake/kr570convert.rc.in ${CMAKE_BINARY_DIR}/kr570convert.rc
               @ONLY)
# The icon is a source of the executable too, so that it is made before the resources are.
target_sources(kr570convert PRIVATE ${CMAKE_BINARY_DIR}/kr570convert.rc ${KR570_ICON})
# windres reports no dependencies: a changed manifest or icon must still remake the resources.
set_source_files_properties(${CMAKE_BINARY_DIR}/kr570convert.rc PROPERTIES
                            OBJECT_DEPENDS "${KR570_MANIFEST};${KR570_ICON}")
