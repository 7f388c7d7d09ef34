# Writes the manual page and the shell completions of brindleforge-cli, as
# the program prints them from its own option table:
#   cmake -DCLI=<brindleforge-cli> -DOUTPUT_DIR=<dir> -P writedocs.cmake
foreach(entry
        "--manpage|brindleforge-cli.1"
        "--completion;bash|completions/brindleforge-cli"
        "--completion;zsh|completions/_brindleforge-cli")
    string(REPLACE "|" ";" parts "${entry}")
    list(GET parts -1 file)
    list(REMOVE_AT parts -1)
    get_filename_component(folder "${OUTPUT_DIR}/${file}" DIRECTORY)
    file(MAKE_DIRECTORY "${folder}")
    execute_process(
        COMMAND "${CLI}" ${parts}
        OUTPUT_FILE "${OUTPUT_DIR}/${file}.new"
        RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        file(REMOVE "${OUTPUT_DIR}/${file}.new")
        message(FATAL_ERROR "${CLI} ${parts} failed: ${result}")
    endif()
    file(RENAME "${OUTPUT_DIR}/${file}.new" "${OUTPUT_DIR}/${file}")
endforeach()
