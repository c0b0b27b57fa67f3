# Builds a style library from pattern sources: removes OUT/styles.lst and
# OUT/*.stt, then imports every SOURCES/*.kvp in name order (the order within
# a group gives each style its identifier).
#
#   cmake -DTOOL=path/to/korvanta-style-import -DSOURCES=dir/of/kvp -DOUT=folder
#         -P build-library.cmake
cmake_minimum_required(VERSION 3.25) # policies of a script run with -P
foreach(var TOOL SOURCES OUT)
    if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
        message(FATAL_ERROR "build-library.cmake needs -D${var}=...")
    endif()
endforeach()
if(NOT EXISTS "${TOOL}")
    message(FATAL_ERROR "the import tool ${TOOL} does not exist; build korvanta-style-import")
endif()

file(GLOB sources LIST_DIRECTORIES false "${SOURCES}/*.kvp")
# An empty library is never what was meant: check before anything is removed.
if(NOT sources)
    message(FATAL_ERROR "no .kvp pattern sources in ${SOURCES}")
endif()
list(SORT sources COMPARE STRING)

file(MAKE_DIRECTORY "${OUT}")
file(GLOB old_styles LIST_DIRECTORIES false "${OUT}/*.stt")
file(REMOVE "${OUT}/styles.lst" ${old_styles})

foreach(source IN LISTS sources)
    get_filename_component(name "${source}" NAME)
    execute_process(COMMAND "${TOOL}" --from "${source}" "${OUT}"
                    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err
                    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_STRIP_TRAILING_WHITESPACE)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "${name}: import failed (exit ${rc})\n${err}")
    endif()
    if(err)
        message(STATUS "${name}: ${out}\n${err}")
    else()
        message(STATUS "${name}: ${out}")
    endif()
endforeach()
