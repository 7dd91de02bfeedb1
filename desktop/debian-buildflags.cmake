# SPDX-License-Identifier: GPL-3.0-or-later
# Builds that are not for debugging or a sanitizer take the compiler and linker flags Debian
# builds its packages with, from dpkg-buildflags: hardening (a strong stack protector, fortified
# C library calls, relocations made read-only and resolved at start) and the source folder mapped
# out of the objects, so that no path of the building machine is kept. The build type keeps its
# say on optimisation and debug information. _FORTIFY_SOURCE needs the optimiser, so Debug builds
# go without; the sanitizers bring checks of their own.

set(CMAKE_POSITION_INDEPENDENT_CODE ON)
include(CheckPIESupported)
check_pie_supported()

find_program(DPKG_BUILDFLAGS dpkg-buildflags)
# Whether this build is made as the package is; a sanitizer's checks keep the path of each source
# file they name, by design.
set(CORVANE_PACKAGED_BUILD OFF)
if(DPKG_BUILDFLAGS AND CORVANE_SANITIZE STREQUAL "" AND NOT CORVANE_FUZZ
   AND NOT CMAKE_BUILD_TYPE STREQUAL "Debug")
    set(CORVANE_PACKAGED_BUILD ON)
    foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
        execute_process(
            COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                    ${DPKG_BUILDFLAGS} --get ${kind}
            WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
            OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE
            COMMAND_ERROR_IS_FATAL ANY)
        separate_arguments(flags UNIX_COMMAND "${flags}")
        list(FILTER flags EXCLUDE REGEX "^-(g|O[0-9s]?)$")
        set(deb_${kind} ${flags})
    endforeach()
    # Under dpkg-buildpackage, debhelper has handed CMake the same flags through CXXFLAGS and
    # LDFLAGS already; only what is missing is added.
    separate_arguments(given UNIX_COMMAND "${CMAKE_CXX_FLAGS} ${CMAKE_EXE_LINKER_FLAGS}")
    foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
        if(given AND deb_${kind})
            list(REMOVE_ITEM deb_${kind} ${given})
        endif()
    endforeach()
    add_compile_options(${deb_CPPFLAGS} ${deb_CXXFLAGS})
    add_link_options(${deb_LDFLAGS})
endif()

# dpkg-buildflags maps the source folder by its real path, but the compiler is handed the path
# CMake was given, which differs where the folder is reached through a symbolic link. Both are
# mapped out of __FILE__ in every build (assertions and Qt's message context keep it), and out of
# the debug information in builds that take Debian's flags; debugging builds keep theirs.
file(REAL_PATH ${PROJECT_SOURCE_DIR} real_source)
foreach(source IN LISTS PROJECT_SOURCE_DIR real_source)
    add_compile_options(-fmacro-prefix-map=${source}=.)
    if(CORVANE_PACKAGED_BUILD)
        add_compile_options(-ffile-prefix-map=${source}=.)
    endif()
endforeach()
