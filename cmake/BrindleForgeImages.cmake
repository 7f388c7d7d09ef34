# brindleforge_add_images(<target>
#     [LVGL 8|9] [FORMAT C|BIN] [CF <name>] [DEPTH <d>] [DITHER] [COMPRESS RLE|LZ4]
#     [OUTPUT_DIR <dir>] [SYMBOL_PREFIX <p>] [INCLUDE AUTO|SUBDIR|SIMPLE]
#     [CROP <x,y,w,h>] [TRIM] [ROTATE 90|180|270] [FLIP H|V]
#     [RESIZE <w>x<h>] [FIT <w>x<h>]
#     [FRAMES [MAX_FRAMES <n>] [GRID <cols>x<rows>] [FRAME_MS <ms>]]
#     [SECTION <name>] [ALIGN <n>] [PACK <name> [PACK_BIND]]
#     [LV_CONF <lv_conf.h>] [LV_VERSION <lv_version.h>]
#     FILES <image>...)
#
# Converts each image with brindleforge-cli (BrindleForge::cli) at build time,
# one build step per image, so a changed image reconverts only itself and the
# steps run in parallel. The options are those of brindleforge-cli:
#   LVGL 8|9          --lvgl (default 8)
#   FORMAT C|BIN      -f c or -f bin (default C)
#   CF <name>         --cf, a colour format name of that LVGL version
#                     (brindleforge-cli --help lists them)
#   DEPTH <d>         --depth 8|16|16swap|32, for a v8 .bin of a true-colour
#                     format or of RGB565A8
#   DITHER            --dither
#   COMPRESS RLE|LZ4  --compress, LVGL 9 only
#   SYMBOL_PREFIX <p> --symbol-prefix: C symbols are <p><stem> and <p><stem>_map
#   INCLUDE AUTO|SUBDIR|SIMPLE  --include: how a C file includes LVGL's header
#                     (default: "lvgl/lvgl.h" for LVGL 8, AUTO for LVGL 9)
#   CROP <x,y,w,h>    --crop: keep that rectangle of each image
#   TRIM              --trim: cut away fully transparent borders
#   ROTATE 90|180|270 --rotate, clockwise
#   FLIP H|V          --flip: H mirrors left to right, V upside down
#   RESIZE <w>x<h>    --resize: that exact size (240x or x160 keep the aspect)
#   FIT <w>x<h>       --fit: the largest size inside, keeping the aspect
#                     (the transforms run in this order)
#   FRAMES            --frames: each image (a GIF or WebP animation, a sprite
#                     sheet with GRID, a still image) becomes a frame set for
#                     lv_animimg: <stem>.c, or with FORMAT BIN the folder
#                     <stem>/ of 000.bin, ... and frames.txt
#   MAX_FRAMES <n>    --max-frames: keep n frames spread evenly
#   GRID <c>x<r>      --grid: cut a sprite sheet into c x r frames
#   FRAME_MS <ms>     --frame-ms: every frame's delay
#   SECTION <name>    --section: the linker section of the C arrays (or of a
#                     pack's blob in <name>_blob.S)
#   ALIGN <n>         --align: the C arrays' alignment, or a pack's entries'
#   PACK <name>       --pack: all FILES become one asset pack, made in one
#                     build step: <name>.bin, <name>.h, <name>.c and
#                     <name>_blob.S in OUTPUT_DIR. <name>.c is added to
#                     <target>, and OUTPUT_DIR to its include path for
#                     <name>.h. <name>_blob.S, which pulls <name>.bin in with
#                     .incbin, is added too when the project has enabled the
#                     ASM language (project(... C ASM) or enable_language(ASM))
#                     and PACK_BIND is not given; otherwise the firmware
#                     provides <name>_blob (its linker script places the
#                     flashed blob) or binds it at run time.
#   PACK_BIND         --pack-bind: <name>_bind(blob, size) binds the
#                     descriptors to a blob loaded at run time
#   LV_CONF <file>    --lv-conf: the project's lv_conf.h gives the defaults
#                     (a v8 .bin's DEPTH, v9 --stride-align) and refuses, at
#                     configure time, what the device cannot draw
#   LV_VERSION <file> --lv-version: the library's lv_version.h (default: one
#                     beside the lv_conf.h)
#                     A changed lv_conf.h or lv_version.h reconfigures and
#                     converts every image of the call again.
#   OUTPUT_DIR <dir>  where the outputs go (relative: to the current binary
#                     folder); default <current binary folder>/<target>_images
# Each output is named after its image's stem (the file name up to its first
# dot): <OUTPUT_DIR>/<stem>.c or <stem>.bin. FILES are relative to the
# current source folder.
#
# C output: the .c files become sources of <target>, which must find LVGL's
# header as INCLUDE says (AUTO: "lvgl.h" or "lvgl/lvgl.h"). BIN output: a custom target
# <target>_images (then <target>_images_2, ...) makes the files and <target>
# depends on it.
#
# Mistakes are configure errors: an unknown argument, a list where one value
# belongs, a missing image, an image whose name has no stem (.hidden.png) or
# holds a ';', two images of one stem (in one call, or in two calls that
# share an OUTPUT_DIR), and whatever brindleforge-cli refuses (an unknown CF
# for the LVGL version, a DEPTH or COMPRESS that does not apply, two stems
# that make one C symbol...), which it is asked with --dry-run.

include_guard(GLOBAL)

function(brindleforge_add_images target)
    set(where "brindleforge_add_images(${target})")
    set(one_value LVGL FORMAT CF DEPTH COMPRESS OUTPUT_DIR SYMBOL_PREFIX INCLUDE
        CROP ROTATE FLIP RESIZE FIT MAX_FRAMES GRID FRAME_MS SECTION ALIGN PACK LV_CONF
        LV_VERSION)
    cmake_parse_arguments(PARSE_ARGV 1 ARG "DITHER;TRIM;FRAMES;PACK_BIND" "${one_value}" "FILES")
    if(ARG_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "${where}: unknown argument \"${ARG_UNPARSED_ARGUMENTS}\" "
            "(it takes LVGL, FORMAT, CF, DEPTH, DITHER, COMPRESS, OUTPUT_DIR, SYMBOL_PREFIX, "
            "INCLUDE, CROP, TRIM, ROTATE, FLIP, RESIZE, FIT, FRAMES, MAX_FRAMES, GRID, "
            "FRAME_MS, SECTION, ALIGN, PACK, PACK_BIND, LV_CONF, LV_VERSION and FILES)")
    endif()
    if(ARG_KEYWORDS_MISSING_VALUES)
        message(FATAL_ERROR "${where}: ${ARG_KEYWORDS_MISSING_VALUES} needs a value")
    endif()
    # A ';' makes a value a list, which would reach brindleforge-cli as
    # several arguments: CF "TRUE_COLOR;--name;evil" would add "--name evil".
    foreach(keyword IN LISTS one_value)
        string(FIND "${ARG_${keyword}}" ";" separator)
        if(separator GREATER -1)
            message(FATAL_ERROR "${where}: ${keyword} takes one value, not the list "
                "\"${ARG_${keyword}}\"")
        endif()
    endforeach()
    if(NOT TARGET ${target})
        message(FATAL_ERROR "${where}: there is no target ${target}")
    endif()
    if(NOT ARG_FILES)
        message(FATAL_ERROR "${where}: no FILES given")
    endif()

    set(args -q)
    if(DEFINED ARG_LVGL)
        if(NOT ARG_LVGL MATCHES "^[89]$")
            message(FATAL_ERROR "${where}: LVGL takes 8 or 9, not \"${ARG_LVGL}\"")
        endif()
        list(APPEND args --lvgl ${ARG_LVGL})
    endif()
    set(extension .c)
    if(DEFINED ARG_FORMAT)
        string(TOUPPER "${ARG_FORMAT}" format)
        if(format STREQUAL "BIN")
            set(extension .bin)
            list(APPEND args -f bin)
        elseif(NOT format STREQUAL "C")
            message(FATAL_ERROR "${where}: FORMAT takes C or BIN, not \"${ARG_FORMAT}\"")
        endif()
    endif()
    if(DEFINED ARG_CF)
        list(APPEND args --cf ${ARG_CF})
    endif()
    if(DEFINED ARG_DEPTH)
        list(APPEND args --depth ${ARG_DEPTH})
    endif()
    if(ARG_DITHER)
        list(APPEND args --dither)
    endif()
    if(DEFINED ARG_COMPRESS)
        string(TOLOWER "${ARG_COMPRESS}" compress)
        if(NOT compress MATCHES "^(rle|lz4)$")
            message(FATAL_ERROR "${where}: COMPRESS takes RLE or LZ4, not \"${ARG_COMPRESS}\"")
        endif()
        list(APPEND args --compress ${compress})
    endif()
    if(DEFINED ARG_SYMBOL_PREFIX)
        list(APPEND args --symbol-prefix ${ARG_SYMBOL_PREFIX})
    endif()
    if(DEFINED ARG_INCLUDE)
        string(TOLOWER "${ARG_INCLUDE}" include_style)
        if(NOT include_style MATCHES "^(auto|subdir|simple)$")
            message(FATAL_ERROR "${where}: INCLUDE takes AUTO, SUBDIR or SIMPLE, not "
                "\"${ARG_INCLUDE}\"")
        endif()
        list(APPEND args --include ${include_style})
    endif()
    # The transforms' values are checked by brindleforge-cli (--dry-run below).
    if(DEFINED ARG_CROP)
        list(APPEND args --crop ${ARG_CROP})
    endif()
    if(ARG_TRIM)
        list(APPEND args --trim)
    endif()
    if(DEFINED ARG_ROTATE)
        list(APPEND args --rotate ${ARG_ROTATE})
    endif()
    if(DEFINED ARG_FLIP)
        string(TOLOWER "${ARG_FLIP}" flip)
        list(APPEND args --flip ${flip})
    endif()
    if(DEFINED ARG_RESIZE)
        list(APPEND args --resize ${ARG_RESIZE})
    endif()
    if(DEFINED ARG_FIT)
        list(APPEND args --fit ${ARG_FIT})
    endif()
    # Frame sets; brindleforge-cli checks the values, and that MAX_FRAMES,
    # GRID and FRAME_MS come with FRAMES. A .bin set is a folder, whose
    # frames.txt stands for it in the build.
    set(made_file "")
    if(ARG_FRAMES)
        list(APPEND args --frames)
        if(extension STREQUAL ".bin")
            set(extension "")
            set(made_file "/frames.txt")
        endif()
    endif()
    # The frame options, placement and packs pass their values on as they
    # are; brindleforge-cli checks them.
    set(passed_keywords MAX_FRAMES GRID FRAME_MS SECTION ALIGN)
    set(passed_options --max-frames --grid --frame-ms --section --align)
    foreach(keyword option IN ZIP_LISTS passed_keywords passed_options)
        if(DEFINED ARG_${keyword})
            list(APPEND args ${option} ${ARG_${keyword}})
        endif()
    endforeach()
    if(ARG_PACK_BIND AND NOT DEFINED ARG_PACK)
        message(FATAL_ERROR "${where}: PACK_BIND applies to a PACK")
    endif()
    if(DEFINED ARG_PACK)
        list(APPEND args --pack ${ARG_PACK})
        if(ARG_PACK_BIND)
            list(APPEND args --pack-bind)
        endif()
    endif()

    # The device's configuration: brindleforge-cli reads it at configure
    # time (--dry-run below) and at each conversion, so both depend on it.
    set(configuration "")
    if(DEFINED ARG_LV_VERSION AND NOT DEFINED ARG_LV_CONF)
        message(FATAL_ERROR "${where}: LV_VERSION goes with LV_CONF")
    endif()
    if(DEFINED ARG_LV_CONF)
        get_filename_component(lv_conf "${ARG_LV_CONF}" ABSOLUTE
            BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
        if(NOT EXISTS "${lv_conf}" OR IS_DIRECTORY "${lv_conf}")
            message(FATAL_ERROR "${where}: LV_CONF \"${lv_conf}\" does not exist")
        endif()
        list(APPEND args --lv-conf "${lv_conf}")
        list(APPEND configuration "${lv_conf}")
        get_filename_component(lv_conf_dir "${lv_conf}" DIRECTORY)
        if(DEFINED ARG_LV_VERSION)
            get_filename_component(lv_version "${ARG_LV_VERSION}" ABSOLUTE
                BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
            if(NOT EXISTS "${lv_version}" OR IS_DIRECTORY "${lv_version}")
                message(FATAL_ERROR "${where}: LV_VERSION \"${lv_version}\" does not exist")
            endif()
            list(APPEND args --lv-version "${lv_version}")
            list(APPEND configuration "${lv_version}")
        elseif(EXISTS "${lv_conf_dir}/lv_version.h")
            list(APPEND configuration "${lv_conf_dir}/lv_version.h")
        endif()
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${configuration})
    endif()

    if(NOT DEFINED ARG_OUTPUT_DIR)
        set(ARG_OUTPUT_DIR ${target}_images)
    endif()
    get_filename_component(output_dir "${ARG_OUTPUT_DIR}" ABSOLUTE
        BASE_DIR "${CMAKE_CURRENT_BINARY_DIR}")

    # The outputs of the calls before this one, anywhere in the project, with
    # the image and the target of each: a second rule for one output would
    # only get CMake's own "Attempt to add a custom rule to output".
    get_property(known_outputs GLOBAL PROPERTY BRINDLEFORGE_IMAGES_OUTPUTS)
    get_property(known_images GLOBAL PROPERTY BRINDLEFORGE_IMAGES_SOURCES)
    get_property(known_targets GLOBAL PROPERTY BRINDLEFORGE_IMAGES_TARGETS)

    set(images "")
    set(stems "")
    foreach(file IN LISTS ARG_FILES)
        # A name with ';' that was quoted arrives whole, but every list it
        # would join splits it again.
        string(FIND "${file}" ";" separator)
        if(separator GREATER -1)
            message(FATAL_ERROR "${where}: the image \"${file}\" has a ';' in its name, and "
                "such names cannot be passed to CMake, which splits lists at ';'; rename it")
        endif()
        get_filename_component(image "${file}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
        if(NOT EXISTS "${image}" OR IS_DIRECTORY "${image}")
            # Unquoted (from file(GLOB), say), such a name arrives in parts:
            # say so rather than show only one part of it.
            get_filename_component(folder "${image}" DIRECTORY)
            get_filename_component(name "${image}" NAME)
            file(GLOB whole LIST_DIRECTORIES false "${image};*" "${folder}/*;${name}")
            if(whole)
                message(FATAL_ERROR "${where}: the image \"${image}\" does not exist: it is "
                    "part of a file name with a ';', and such names cannot be passed to CMake, "
                    "which splits lists at ';'; rename the file")
            endif()
            message(FATAL_ERROR "${where}: the image \"${image}\" does not exist")
        endif()
        get_filename_component(stem "${image}" NAME_WE)
        if(stem STREQUAL "")
            message(FATAL_ERROR "${where}: the image \"${image}\" has no name before its first "
                "dot, so its output would be the hidden file ${output_dir}/${extension}; rename "
                "it")
        endif()
        list(FIND stems "${stem}" other)
        if(other GREATER -1)
            list(GET images ${other} first)
            message(FATAL_ERROR "${where}: \"${first}\" and \"${image}\" have the same stem "
                "\"${stem}\" and would both be written to ${output_dir}/${stem}${extension}")
        endif()
        set(output "${output_dir}/${stem}${extension}")
        list(FIND known_outputs "${output}" other)
        if(other GREATER -1)
            list(GET known_images ${other} first)
            list(GET known_targets ${other} first_target)
            message(FATAL_ERROR "${where}: \"${image}\" would be written to ${output}, "
                "which brindleforge_add_images(${first_target}) already makes from "
                "\"${first}\"; give one of them another OUTPUT_DIR")
        endif()
        list(APPEND images "${image}")
        list(APPEND stems "${stem}")
    endforeach()

    # brindleforge-cli checks the options and the images as for one batch
    # into OUTPUT_DIR, so that its rules live in one place.
    get_target_property(cli BrindleForge::cli LOCATION)
    execute_process(
        COMMAND "${cli}" --dry-run ${args} -o "${output_dir}/" ${images}
        RESULT_VARIABLE result
        OUTPUT_QUIET
        ERROR_VARIABLE error)
    if(NOT result EQUAL 0)
        string(REGEX REPLACE "\nTry 'brindleforge-cli --help'[^\n]*" "" error "${error}")
        string(STRIP "${error}" error)
        message(FATAL_ERROR "${where}: ${error}")
    endif()

    if(DEFINED ARG_PACK)
        _brindleforge_add_pack(${target} "${ARG_PACK}" "${output_dir}" "${images}" ${args})
        return()
    endif()

    file(MAKE_DIRECTORY "${output_dir}")
    set(outputs "")
    foreach(image stem IN ZIP_LISTS images stems)
        set(output "${output_dir}/${stem}${extension}")
        file(RELATIVE_PATH shown "${CMAKE_BINARY_DIR}" "${output}")
        add_custom_command(
            OUTPUT "${output}${made_file}"
            COMMAND BrindleForge::cli ${args} -o "${output}" "${image}"
            DEPENDS "${image}" ${configuration} BrindleForge::cli
            COMMENT "Converting image ${shown}"
            VERBATIM)
        list(APPEND outputs "${output}${made_file}")
        set_property(GLOBAL APPEND PROPERTY BRINDLEFORGE_IMAGES_OUTPUTS "${output}")
        set_property(GLOBAL APPEND PROPERTY BRINDLEFORGE_IMAGES_SOURCES "${image}")
        set_property(GLOBAL APPEND PROPERTY BRINDLEFORGE_IMAGES_TARGETS "${target}")
    endforeach()

    if(extension STREQUAL ".c")
        target_sources(${target} PRIVATE ${outputs})
    else()
        set(name ${target}_images)
        set(count 1)
        while(TARGET ${name})
            math(EXPR count "${count} + 1")
            set(name ${target}_images_${count})
        endwhile()
        add_custom_target(${name} DEPENDS ${outputs})
        add_dependencies(${target} ${name})
    endif()
endfunction()

# The one build step of a pack: its four files from every image, the .c (and
# where it can be assembled, the .S) added to target.
function(_brindleforge_add_pack target name output_dir images)
    set(args ${ARGN})
    set(base "${output_dir}/${name}")
    set(outputs "${base}.bin" "${base}.h" "${base}.c" "${base}_blob.S")
    get_property(known_outputs GLOBAL PROPERTY BRINDLEFORGE_IMAGES_OUTPUTS)
    list(FIND known_outputs "${base}.bin" other)
    if(other GREATER -1)
        message(FATAL_ERROR "brindleforge_add_images(${target}): the pack ${base}.bin is made "
            "by another call already; give one of them another PACK name or OUTPUT_DIR")
    endif()
    file(MAKE_DIRECTORY "${output_dir}")
    file(RELATIVE_PATH shown "${CMAKE_BINARY_DIR}" "${base}.bin")
    add_custom_command(
        OUTPUT ${outputs}
        COMMAND BrindleForge::cli ${args} -o "${output_dir}" ${images}
        DEPENDS ${images} ${configuration} BrindleForge::cli
        COMMENT "Packing images into ${shown}"
        VERBATIM)
    list(GET images 0 first)
    foreach(output IN LISTS outputs)
        set_property(GLOBAL APPEND PROPERTY BRINDLEFORGE_IMAGES_OUTPUTS "${output}")
        set_property(GLOBAL APPEND PROPERTY BRINDLEFORGE_IMAGES_SOURCES "${first}")
        set_property(GLOBAL APPEND PROPERTY BRINDLEFORGE_IMAGES_TARGETS "${target}")
    endforeach()
    target_sources(${target} PRIVATE "${base}.c")
    target_include_directories(${target} PRIVATE "${output_dir}")
    get_property(languages GLOBAL PROPERTY ENABLED_LANGUAGES)
    if("ASM" IN_LIST languages AND NOT "--pack-bind" IN_LIST args)
        # .incbin finds the blob through the assembler's include path, and
        # the object is made again when the blob changes.
        set_source_files_properties("${base}_blob.S" PROPERTIES
            COMPILE_OPTIONS "-Wa,-I${output_dir}"
            OBJECT_DEPENDS "${base}.bin")
        target_sources(${target} PRIVATE "${base}_blob.S")
    endif()
endfunction()
