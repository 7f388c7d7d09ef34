# Installs BrindleForge into a fresh prefix and builds the consumer project
# against it (consumer/), as a firmware project would:
#   1. configure, build and run the program that checks the descriptors;
#   2. touch one image, build again: only that image is converted again;
#   3. make each mistake of consumer/CMakeLists.txt: configure fails and
#      says why.
# cmake -DBUILD_DIR=<BrindleForge build> -DSOURCE_DIR=<tests/package>
#       -DSTAND_IN=<tests/convert> -DIMAGES=<folder> -DWORK_DIR=<scratch>
#       -DGENERATOR=<CMake generator> -P consumertest.cmake

function(run)
    cmake_parse_arguments(RUN "FAIL" "OUTPUT" "COMMAND" ${ARGN})
    execute_process(COMMAND ${RUN_COMMAND}
        RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(RUN_FAIL AND result EQUAL 0)
        message(FATAL_ERROR "succeeded, but should have failed: ${RUN_COMMAND}\n${out}${err}")
    elseif(NOT RUN_FAIL AND NOT result EQUAL 0)
        message(FATAL_ERROR "failed (${result}): ${RUN_COMMAND}\n${out}${err}")
    endif()
    if(RUN_OUTPUT)
        set(${RUN_OUTPUT} "${out}${err}" PARENT_SCOPE)
    endif()
endfunction()

# The lines of a build's output that name a conversion.
function(conversions output variable)
    string(REGEX MATCHALL "Converting image [^\n]*" lines "${output}")
    set(${variable} "${lines}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE "${WORK_DIR}")
set(prefix "${WORK_DIR}/prefix")
set(build "${WORK_DIR}/build")
set(images "${WORK_DIR}/images")
run(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}")
foreach(file lib/cmake/BrindleForge/BrindleForgeConfig.cmake
        lib/cmake/BrindleForge/BrindleForgeConfigVersion.cmake bin/brindleforge-cli)
    if(NOT EXISTS "${prefix}/${file}")
        message(FATAL_ERROR "cmake --install did not install ${file}")
    endif()
endforeach()
file(MAKE_DIRECTORY "${images}/other")
foreach(name photo.png scene.jpg tile.bmp)
    file(COPY "${IMAGES}/${name}" DESTINATION "${images}")
endforeach()
file(COPY "${IMAGES}/scene.jpg" DESTINATION "${images}/other")
file(RENAME "${images}/other/scene.jpg" "${images}/other/photo.jpg")
configure_file("${IMAGES}/photo.png" "${images}/a-b.png" COPYONLY)
configure_file("${IMAGES}/photo.png" "${images}/a_b.png" COPYONLY)
configure_file("${IMAGES}/photo.png" "${images}/.hidden.png" COPYONLY)
configure_file("${IMAGES}/photo.png" "${images}/semi;colon.png" COPYONLY)

# The device's configuration, laid out as a project's is.
set(conf "${WORK_DIR}/conf")
file(WRITE "${conf}/lv_conf.h" "#if 1 /* Set it to \"1\" to enable content */
#ifndef LV_CONF_H
#define LV_CONF_H
#define LV_COLOR_DEPTH 16
#define LV_DRAW_BUF_STRIDE_ALIGN 4
#define LV_DRAW_SW_SUPPORT_L8 0
#endif
#endif
")
file(WRITE "${conf}/lv_version.h" "#define LVGL_VERSION_MAJOR 9
#define LVGL_VERSION_MINOR 2
#define LVGL_VERSION_PATCH 0
")
# The stride in the header of a v9 .bin, as four hex digits (little-endian).
function(bin_stride file variable)
    file(READ "${file}" header LIMIT 12 HEX)
    string(SUBSTRING "${header}" 16 4 stride)
    set(${variable} "${stride}" PARENT_SCOPE)
endfunction()

set(configure_args -G "${GENERATOR}" "-DCMAKE_PREFIX_PATH=${prefix}" "-DIMAGES=${images}"
    "-DSTAND_IN=${STAND_IN}" "-DLV_CONF_DIR=${conf}")

# 1. Configure, build, run.
run(COMMAND "${CMAKE_COMMAND}" -S "${SOURCE_DIR}/consumer" -B "${build}" ${configure_args})
run(COMMAND "${CMAKE_COMMAND}" --build "${build}" OUTPUT output)
conversions("${output}" converted)
list(LENGTH converted count)
if(NOT count EQUAL 8)
    message(FATAL_ERROR "the first build converted ${count} images, not 8:\n${output}")
endif()
# tile.bmp is 13 pixels wide: 26 bytes of RGB565 a row, 28 aligned to 4.
bin_stride("${build}/fsconf/tile.bin" stride)
if(NOT stride STREQUAL "1c00")
    message(FATAL_ERROR "LV_CONF's LV_DRAW_BUF_STRIDE_ALIGN 4 gave the stride ${stride}, not 1c00")
endif()
run(COMMAND "${build}/check" OUTPUT output)
message(STATUS "check: ${output}")
run(COMMAND "${build}/packcheck" OUTPUT output)
message(STATUS "packcheck: ${output}")
# The linked pack's blob is in the section SECTION named.
run(COMMAND objdump -t "${build}/packcheck" OUTPUT output)
if(NOT output MATCHES "[ \t]\\.ext_flash[ \t]+[0-9a-f]+[ \t]+ui_blob")
    message(FATAL_ERROR "ui_blob is not in .ext_flash:\n${output}")
endif()

# 2. Touch one image: only its C file is made again. The file times are read
# in whole seconds, so the touch comes a second after the first build.
set(outputs "${build}/images8_images/photo.c" "${build}/images8_images/scene.c"
    "${build}/v9/tile.c" "${build}/fs/photo.bin" "${build}/fs/tile.bin"
    "${build}/v9frames/photo.c" "${build}/fsframes/tile/frames.txt")
foreach(file IN LISTS outputs)
    if(NOT EXISTS "${file}")
        message(FATAL_ERROR "the build made no ${file}")
    endif()
    file(TIMESTAMP "${file}" before_${file} "%s")
endforeach()
execute_process(COMMAND "${CMAKE_COMMAND}" -E sleep 1.1)
file(TOUCH "${images}/scene.jpg")
run(COMMAND "${CMAKE_COMMAND}" --build "${build}" OUTPUT output)
conversions("${output}" converted)
if(NOT converted MATCHES "^Converting image images8_images/scene\\.c$")
    message(FATAL_ERROR "touching scene.jpg converted \"${converted}\", not scene.c alone:\n"
        "${output}")
endif()
foreach(file IN LISTS outputs)
    file(TIMESTAMP "${file}" after "%s")
    if(file MATCHES "scene\\.c$")
        if(after EQUAL before_${file})
            message(FATAL_ERROR "${file} was not written again")
        endif()
    elseif(NOT after EQUAL before_${file})
        message(FATAL_ERROR "${file} was written again, though its image did not change")
    endif()
endforeach()
run(COMMAND "${build}/check")
# Nothing changed: nothing is converted.
run(COMMAND "${CMAKE_COMMAND}" --build "${build}" OUTPUT output)
conversions("${output}" converted)
if(converted)
    message(FATAL_ERROR "a build with nothing changed converted ${converted}")
endif()

# A changed lv_conf.h converts its images again, with the new setting: 32
# bytes a row aligned to 16.
file(READ "${conf}/lv_conf.h" text)
string(REPLACE "LV_DRAW_BUF_STRIDE_ALIGN 4" "LV_DRAW_BUF_STRIDE_ALIGN 16" text "${text}")
file(WRITE "${conf}/lv_conf.h" "${text}")
run(COMMAND "${CMAKE_COMMAND}" --build "${build}" OUTPUT output)
conversions("${output}" converted)
if(NOT converted MATCHES "^Converting image fsconf/tile\\.bin$")
    message(FATAL_ERROR "changing lv_conf.h converted \"${converted}\", not fsconf/tile.bin "
        "alone:\n${output}")
endif()
bin_stride("${build}/fsconf/tile.bin" stride)
if(NOT stride STREQUAL "2000")
    message(FATAL_ERROR "LV_DRAW_BUF_STRIDE_ALIGN 16 gave the stride ${stride}, not 2000")
endif()

# 3. Mistakes are configure errors that say what is wrong. In the expected
# text a '.' stands for each ';', which would split this list.
set(mistakes
    "unknown option|unknown argument \"COLOUR"
    "option without its value|CF needs a value"
    "missing image|the image \"[^\"]*absent.png\" does not exist"
    "two images of one stem|have the same stem \"photo\""
    "unknown CF|unknown color format 'INDEXED_3BIT'"
    "v8 CF for LVGL 9|v9 has no TRUE_COLOR_ALPHA"
    "DEPTH for a C array|--depth applies to binary files"
    "DEPTH of a format without depths|a .bin of ALPHA_4BIT is the same at every depth"
    "COMPRESS for LVGL 8|--compress applies to LVGL v9 output"
    "unknown COMPRESS|COMPRESS takes RLE or LZ4, not \"ZIP\""
    "SYMBOL_PREFIX that is no identifier|'9lives' is not a prefix of C symbols"
    "two stems of one symbol|would both define the C symbol 'a_b'"
    "options in a CF value|CF takes one value, not the list \"TRUE_COLOR.--name.evil\""
    "LVGL 9 in a SYMBOL_PREFIX value|SYMBOL_PREFIX takes one value, not the list \"p.--lvgl.9\""
    "a list as OUTPUT_DIR|OUTPUT_DIR takes one value"
    "one stem in two calls|\"[^\"]*other/photo.jpg\" would be written to [^ ]*/images8_images/photo.c, which brindleforge_add_images\\(images8\\) already makes from \"[^\"]*/photo.png\""
    "two targets sharing OUTPUT_DIR|\"[^\"]*/scene.jpg\" would be written to [^ ]*/shared/scene.c, which brindleforge_add_images\\(images8\\) already makes from \"[^\"]*/scene.jpg\""
    "image without a stem|\"[^\"]*/.hidden.png\" has no name before its first dot"
    "quoted name with a semicolon|\"[^\"]*/semi.colon.png\" has a '.' in its name, and such names cannot be passed to CMake"
    "ROTATE by 45 degrees|--rotate takes 90, 180 or 270 \\(degrees clockwise\\), not '45'"
    "CROP outside the image|--crop 30,0,10,10 reaches outside the image, which is 37 x 23 pixels"
    "RESIZE and FIT|--resize and --fit both set the size"
    "PACK of RAW|--pack holds .bin images. RAW_ALPHA embeds the source file"
    "PACK_BIND without PACK|PACK_BIND applies to a PACK"
    "SECTION with a space|--section: '.ext flash' is not a section name"
    "LV_CONF that does not exist|LV_CONF \"[^\"]*/absent.h\" does not exist"
    "a format LV_CONF switches off|lv_conf.h:6: LV_DRAW_SW_SUPPORT_L8 is 0. set LV_DRAW_SW_SUPPORT_L8 1"
    "MAX_FRAMES without FRAMES|--max-frames applies to frame sets. add --frames"
    "GRID that is no grid|--grid takes COLSxROWS"
    "GRID that does not divide|--grid 2x1: the image's 37 x 23 pixels do not divide into 2 columns"
    "globbed name with a semicolon|\"[^\"]*/semi\" does not exist: it is part of a file name with a '.', and such names cannot be passed to CMake")
foreach(mistake IN LISTS mistakes)
    string(REPLACE "|" ";" parts "${mistake}")
    list(GET parts 0 name)
    list(GET parts 1 expected)
    run(FAIL OUTPUT output COMMAND "${CMAKE_COMMAND}" -S "${SOURCE_DIR}/consumer"
        -B "${WORK_DIR}/broken" ${configure_args} "-DBROKEN=${name}")
    # CMake wraps its messages: the words are compared, not the lines.
    string(REGEX REPLACE "[ \n]+" " " words "${output}")
    if(NOT words MATCHES "brindleforge_add_images\\([a-z0-9]+\\): .*${expected}")
        message(FATAL_ERROR "${name}: the configure error does not say \"${expected}\":\n"
            "${output}")
    endif()
endforeach()
message(STATUS "the consumer project built, rebuilt one touched image and refused "
    "every mistake")
