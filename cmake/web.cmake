# The page in the browser for the packages of a Linux or Windows build: the same sources built
# once more by emscripten, in a build of their own under this one (as the web preset builds
# them, without its tests), and the page's files installed beside the tool (packaging.cmake).
# Without emscripten the tool is built alone.
option(KR570_BUILD_WEB "Build the page in the browser with emscripten, for the packages" OFF)
if(NOT KR570_BUILD_WEB)
    return()
endif()
find_file(KR570_EMSCRIPTEN_TOOLCHAIN Emscripten.cmake
          PATHS /usr/share/emscripten/cmake/Modules/Platform
                $ENV{EMSDK}/upstream/emscripten/cmake/Modules/Platform
          NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT KR570_EMSCRIPTEN_TOOLCHAIN)
    message(WARNING "emscripten not found: the packages carry the tool without the page in the "
                    "browser (Debian: emscripten)")
    return()
endif()
include(ExternalProject)
ExternalProject_Add(kr570_web_page
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/web
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${KR570_EMSCRIPTEN_TOOLCHAIN}
               -DCMAKE_BUILD_TYPE=MinSizeRel
               -DKR570_BUILD_TESTS=OFF
               -DKR570_WEB_TESTS=OFF
               -DKR570_WERROR=${KR570_WERROR}
    BUILD_ALWAYS ON
    INSTALL_COMMAND "")
set(KR570_WEB_PAGE_DIR ${CMAKE_BINARY_DIR}/web/page)
