# Installs the build into a scratch prefix and checks the layout the program relies on:
# its table schemas and its modules beside the executable, reached through bin/.
# Called with -DBUILD_DIR=... -DPREFIX=...
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${status}")
endif()
file(GLOB appdirs "${PREFIX}/lib*/stavimor")
list(LENGTH appdirs found)
if(NOT found EQUAL 1)
    message(FATAL_ERROR "no application folder under ${PREFIX}")
endif()
set(expected
    "${appdirs}/stavimor"
    "${appdirs}/patients.xml"
    "${appdirs}/modules"
    "${PREFIX}/include/stavimor/moduleinterface.h"
    "${PREFIX}/bin/stavimor"
    "${PREFIX}/share/applications/stavimor.desktop"
    "${PREFIX}/share/icons/hicolor/48x48/apps/stavimor.png"
    "${PREFIX}/share/icons/hicolor/scalable/apps/stavimor.svg")
foreach(file IN LISTS expected)
    if(NOT EXISTS "${file}")
        message(FATAL_ERROR "not installed: ${file}")
    endif()
endforeach()
file(GLOB modules "${appdirs}/modules/*")
if(NOT modules)
    message(FATAL_ERROR "no module in ${appdirs}/modules")
endif()
file(REAL_PATH "${PREFIX}/bin/stavimor" resolved)
if(NOT resolved STREQUAL "${appdirs}/stavimor")
    message(FATAL_ERROR "bin/stavimor leads to ${resolved}, not to the application folder")
endif()
file(REMOVE_RECURSE "${PREFIX}")
