# Compresses one file as Debian wants manual pages and changelogs: gzip at
# its best compression, without the file's name and time (so that the same
# text gives the same bytes), replacing OUTPUT only when complete.
#   cmake -DGZIP=<gzip> -DINPUT=<file> -DOUTPUT=<file.gz> -P gzip.cmake
execute_process(
    COMMAND "${GZIP}" -9nc
    INPUT_FILE "${INPUT}"
    OUTPUT_FILE "${OUTPUT}.new"
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    file(REMOVE "${OUTPUT}.new")
    message(FATAL_ERROR "${GZIP} -9nc ${INPUT} failed: ${result}")
endif()
file(RENAME "${OUTPUT}.new" "${OUTPUT}")
