# What only the Windows build has. Included on Windows.

# The tool's sources compile against the headers of the Universal C Runtime too (_UCRT), in
# which FILE is opaque: nothing may reach into the C runtime's structures. These objects are
# compiled only, never linked; the executable itself uses msvcrt.dll, which every Windows has.
get_target_property(kr570_sources kr570 SOURCES)
add_library(kr570_ucrt_headers OBJECT ${kr570_sources} src/driver/main.cpp)
target_include_directories(kr570_ucrt_headers PRIVATE ${PROJECT_SOURCE_DIR}/src)
target_compile_definitions(kr570_ucrt_headers PRIVATE _UCRT WIN32_LEAN_AND_MEAN NOMINMAX
                                                      KR570_VERSION="${PROJECT_VERSION}")
# stdio.h comes first: the wchar.h of mingw-w64 10 declares the old, open FILE even for the
# UCRT, and whichever of the two a source includes first decides.
target_compile_options(kr570_ucrt_headers PRIVATE -ffp-contract=off -include stdio.h)
target_link_libraries(kr570_ucrt_headers PRIVATE kr570_warnings)
