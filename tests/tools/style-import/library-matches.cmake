# Builds the style library from its sources into a fresh folder and compares
# it byte for byte with the shipped one:
#   cmake -DTOOL=... -DSOURCES=... -DEXPECTED=<shipped folder> -DOUT=<scratch>
#         -DBUILD_SCRIPT=.../build-library.cmake -P library-matches.cmake
cmake_minimum_required(VERSION 3.25) # policies of a script run with -P
file(REMOVE_RECURSE "${OUT}")
execute_process(COMMAND "${CMAKE_COMMAND}" "-DTOOL=${TOOL}" "-DSOURCES=${SOURCES}" "-DOUT=${OUT}"
                        -P "${BUILD_SCRIPT}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE log ERROR_VARIABLE log)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "building the library from ${SOURCES} failed:\n${log}")
endif()

set(problems "")
file(GLOB produced LIST_DIRECTORIES false RELATIVE "${OUT}" "${OUT}/*")
foreach(name IN LISTS produced)
    if(NOT EXISTS "${EXPECTED}/${name}")
        string(APPEND problems "  ${name} is missing from ${EXPECTED}\n")
        continue()
    endif()
    file(SHA256 "${OUT}/${name}" made)
    file(SHA256 "${EXPECTED}/${name}" shipped)
    if(NOT made STREQUAL shipped)
        string(APPEND problems "  ${name} differs from what its source gives\n")
    endif()
endforeach()
file(GLOB shipped_styles LIST_DIRECTORIES false RELATIVE "${EXPECTED}" "${EXPECTED}/*.stt")
foreach(name IN LISTS shipped_styles)
    if(NOT name IN_LIST produced)
        string(APPEND problems "  ${name} lies in ${EXPECTED} but no source makes it\n")
    endif()
endforeach()
if(problems)
    message(FATAL_ERROR "the shipped style library does not match its sources "
                        "(rebuild it with: bash tools/build-styles.sh):\n${problems}")
endif()
list(LENGTH produced count)
message(STATUS "${count} library files match their sources")
