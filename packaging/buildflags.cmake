# The hardening flags that Debian builds its own packages with, from
# dpkg-buildflags, for the optimised builds (not Debug) wherever
# dpkg-buildflags is installed, so that the .deb that "cpack -G DEB" makes
# has them: the stack protector, format checks, _FORTIFY_SOURCE, and RELRO
# with BIND_NOW (hardening=+all; DEB_BUILD_MAINT_OPTIONS from the
# environment still has the last word). Included by the top-level
# CMakeLists.txt before any target is defined.
#
# The build type keeps choosing the optimisation and the debug information,
# so -O and -g are left out. So is -ffile-prefix-map, which would make
# __FILE__ relative: QFINDTESTDATA finds the tests' data by it.
option(BRINDLEFORGE_DPKG_BUILDFLAGS
    "Build the optimised configurations with the hardening flags of dpkg-buildflags, where it is installed"
    ON)
find_program(BRINDLEFORGE_DPKG_BUILDFLAGS_PROGRAM dpkg-buildflags)
mark_as_advanced(BRINDLEFORGE_DPKG_BUILDFLAGS_PROGRAM)

set(BRINDLEFORGE_HARDENED OFF)
if(BRINDLEFORGE_DPKG_BUILDFLAGS AND BRINDLEFORGE_DPKG_BUILDFLAGS_PROGRAM AND NOT BRINDLEFORGE_FUZZ)
    foreach(kind CPPFLAGS CFLAGS CXXFLAGS LDFLAGS)
        execute_process(
            COMMAND ${CMAKE_COMMAND} -E env
                "DEB_BUILD_MAINT_OPTIONS=hardening=+all $ENV{DEB_BUILD_MAINT_OPTIONS}"
                ${BRINDLEFORGE_DPKG_BUILDFLAGS_PROGRAM} --get ${kind}
            RESULT_VARIABLE result
            OUTPUT_VARIABLE flags
            ERROR_VARIABLE error
            OUTPUT_STRIP_TRAILING_WHITESPACE)
        if(NOT result EQUAL 0)
            message(FATAL_ERROR "dpkg-buildflags --get ${kind} failed: ${error} "
                "(configure with -DBRINDLEFORGE_DPKG_BUILDFLAGS=OFF to build without it)")
        endif()
        separate_arguments(flags UNIX_COMMAND "${flags}")
        list(FILTER flags EXCLUDE REGEX "^-(O|g)|prefix-map")
        set(dpkg_${kind} ${flags})
    endforeach()
    set(optimised "$<NOT:$<CONFIG:Debug>>")
    add_compile_options(
        "$<${optimised}:${dpkg_CPPFLAGS}>"
        "$<$<AND:${optimised},$<COMPILE_LANGUAGE:C>>:${dpkg_CFLAGS}>"
        "$<$<AND:${optimised},$<COMPILE_LANGUAGE:CXX>>:${dpkg_CXXFLAGS}>")
    add_link_options("$<${optimised}:${dpkg_LDFLAGS}>")
    set(BRINDLEFORGE_HARDENED ON)
    string(JOIN " " shown ${dpkg_CPPFLAGS} ${dpkg_CXXFLAGS} ${dpkg_LDFLAGS})
    message(STATUS "Hardening flags from dpkg-buildflags (all but Debug builds): ${shown}")
endif()
