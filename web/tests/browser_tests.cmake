# The browser tests: the page in Debian's headless Chromium, driven by Selenium through
# chromedriver (Debian: chromium chromium-driver python3-selenium), against the real
# kr570convert, built for this machine beside the page. A test whose browser or driver is
# missing fails and names the packages: it never skips.
include(ExternalProject)
ExternalProject_Add(kr570_native
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/native
    CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DKR570_BUILD_TESTS=OFF
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    EXCLUDE_FROM_ALL OFF)

# Debian's own Python, which python3-selenium is installed for.
set(KR570_WEB_PYTHON /usr/bin/python3 CACHE FILEPATH "The Python that runs the browser tests")
execute_process(COMMAND ${KR570_WEB_PYTHON} -c "import selenium"
                RESULT_VARIABLE selenium_status OUTPUT_QUIET ERROR_QUIET)
if(NOT selenium_status EQUAL 0 OR NOT EXISTS /usr/bin/chromium OR NOT EXISTS /usr/bin/chromedriver)
    message(WARNING "Headless Chromium or its driver is missing: the browser tests will fail "
                    "(Debian: chromium chromium-driver python3-selenium)")
endif()

set(browser_test ${CMAKE_CURRENT_SOURCE_DIR}/tests/browser_test.py)
foreach(task OpenEveryFixture EditAndSave NewFromDefaults CompareTwoFiles Keyboard)
    add_test(NAME web_${task}
             COMMAND ${KR570_WEB_PYTHON} ${browser_test}
                     --page ${KR570_WEB_DIR}/index.html
                     --tool ${CMAKE_BINARY_DIR}/native/kr570convert
                     --source ${PROJECT_SOURCE_DIR}
                     ${task})
endforeach()
