# Makes the Debian package with the build's CPack configuration and checks
# what a clean Debian 12 gets from it: its file name, the files it installs,
# its changelog and home page, the libraries of the Qt the build used among
# its dependencies, and, with LINTIAN, that lintian finds no error and no
# warning (nor, with HARDENED, missing hardening).
# cmake -DCPACK=<cpack> -DCPACK_CONFIG=<build>/CPackConfig.cmake
#       -DWORK_DIR=<scratch> -DVERSION=<version> -DQT_MAJOR=<5|6>
#       -DHOMEPAGE=<url> [-DLINTIAN=<lintian>] [-DHARDENED=ON|1] -P debtest.cmake
file(REMOVE_RECURSE "${WORK_DIR}")
execute_process(COMMAND "${CPACK}" -G DEB --config "${CPACK_CONFIG}" -B "${WORK_DIR}"
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cpack -G DEB failed:\n${out}${err}")
endif()
execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE arch
    OUTPUT_STRIP_TRAILING_WHITESPACE)
set(deb "${WORK_DIR}/brindleforge_${VERSION}_${arch}.deb")
if(NOT EXISTS "${deb}")
    file(GLOB made "${WORK_DIR}/*.deb")
    message(FATAL_ERROR "no ${deb}; cpack made: ${made}")
endif()

execute_process(COMMAND dpkg-deb --contents "${deb}" OUTPUT_VARIABLE contents
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "dpkg-deb cannot read ${deb}")
endif()
foreach(file
        ./usr/bin/brindleforge
        ./usr/bin/brindleforge-cli
        ./usr/share/applications/brindleforge.desktop
        ./usr/share/icons/hicolor/72x72/apps/brindleforge.png
        ./usr/lib/cmake/BrindleForge/BrindleForgeConfig.cmake
        ./usr/lib/cmake/BrindleForge/BrindleForgeConfigVersion.cmake
        ./usr/lib/cmake/BrindleForge/BrindleForgeTargets.cmake
        ./usr/lib/cmake/BrindleForge/BrindleForgeImages.cmake
        ./usr/share/man/man1/brindleforge.1.gz
        ./usr/share/man/man1/brindleforge-cli.1.gz
        ./usr/share/bash-completion/completions/brindleforge-cli
        ./usr/share/zsh/vendor-completions/_brindleforge-cli
        ./usr/share/doc/brindleforge/changelog.gz
        ./usr/share/doc/brindleforge/copyright)
    string(FIND "${contents}" " ${file}\n" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "${deb} lacks ${file}:\n${contents}")
    endif()
endforeach()
# Nothing from the build or test trees, and every path under /usr.
if(contents MATCHES "tst_|bench|/usr/local/| \\./[^u]")
    message(FATAL_ERROR "${deb} holds files it should not:\n${contents}")
endif()

execute_process(COMMAND dpkg-deb --field "${deb}" Package Version Architecture Homepage Depends
    OUTPUT_VARIABLE fields)
string(REPLACE "." "\\." homepage "${HOMEPAGE}")
foreach(expected "Package: brindleforge" "Version: ${VERSION}" "Architecture: ${arch}"
        "\nHomepage: ${homepage}\n"
        "libqt${QT_MAJOR}[a-z]*core[0-9a-z]*" "libqt${QT_MAJOR}[a-z]*widgets"
        "libqt${QT_MAJOR}[a-z]*gui" "libimagequant0" "liblz4-1" "zlib1g")
    if(NOT fields MATCHES "${expected}")
        message(FATAL_ERROR "${deb}: no \"${expected}\" in its control fields:\n${fields}")
    endif()
endforeach()
set(other 5)
if(QT_MAJOR EQUAL 5)
    set(other 6)
endif()
if(fields MATCHES "libqt${other}")
    message(FATAL_ERROR "${deb} depends on Qt ${other}, not built with it:\n${fields}")
endif()
message(STATUS "${deb}:\n${fields}")

# The changelog's latest entry is this version.
execute_process(COMMAND dpkg-deb --extract "${deb}" "${WORK_DIR}/files")
execute_process(COMMAND gzip -dc "${WORK_DIR}/files/usr/share/doc/brindleforge/changelog.gz"
    OUTPUT_VARIABLE changelog RESULT_VARIABLE result)
if(NOT result EQUAL 0 OR NOT changelog MATCHES "^brindleforge \\(([^)]*)\\)")
    message(FATAL_ERROR "${deb}: its changelog.gz does not start with an entry:\n${changelog}")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL VERSION)
    message(FATAL_ERROR "${deb}: the changelog's latest entry is ${CMAKE_MATCH_1}, not ${VERSION}")
endif()

if(NOT LINTIAN)
    message(STATUS "lintian is not installed: the package is not checked with it")
    return()
endif()
# --info shows the notes too; the tags that used to be noted for this
# package must stay away.
execute_process(COMMAND "${LINTIAN}" --info --fail-on error,warning "${deb}"
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "lintian finds errors or warnings in ${deb} (${result}):\n${out}${err}")
endif()
set(gone binary-has-unneeded-section desktop-entry-lacks-keywords-entry)
if(HARDENED)
    list(APPEND gone hardening-no-bindnow hardening-no-fortify-functions hardening-no-relro)
endif()
foreach(tag IN LISTS gone)
    if(out MATCHES " ${tag}")
        message(FATAL_ERROR "lintian notes ${tag} in ${deb}:\n${out}")
    endif()
endforeach()
message(STATUS "lintian on ${deb}:\n${out}")
