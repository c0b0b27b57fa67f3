# Runs korvanta-cli and compares what it prints with a golden file.
#   cmake -DCLI=... -DARGS="a;b" -DWORKDIR=... -DEXPECTED=... [-DUPDATE=1] -P golden.cmake
# With UPDATE=1 the golden file is rewritten instead (review the diff before committing).
execute_process(COMMAND ${CLI} ${ARGS} WORKING_DIRECTORY ${WORKDIR}
                OUTPUT_VARIABLE actual RESULT_VARIABLE rc)
if(UPDATE)
    file(WRITE ${EXPECTED} "${actual}")
    return()
endif()
file(READ ${EXPECTED} expected)
if(NOT actual STREQUAL expected)
    file(WRITE ${EXPECTED}.actual "${actual}")
    message(FATAL_ERROR "output differs from ${EXPECTED} (exit ${rc}); "
                        "see ${EXPECTED}.actual")
endif()
