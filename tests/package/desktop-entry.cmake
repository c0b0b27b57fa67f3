# Checks the desktop's files for the program: the desktop entry passes
# desktop-file-validate, names the icon that is installed and the project type
# the MIME file declares, and shared-mime-info reads that file into a glob for
# *.kvt and a magic for the "VKvt" header. Prints "skipped" when neither
# desktop-file-validate nor update-mime-database is on this machine.
#   cmake -DPACKAGING_DIR=<checkout>/packaging -P desktop-entry.cmake

set(entry "${PACKAGING_DIR}/korvanta.desktop")
set(mime "${PACKAGING_DIR}/korvanta-mime.xml")

# The entry and the MIME file agree with each other and with the icon.
file(READ "${entry}" text)
string(REGEX MATCH "\nIcon=[^\n]*" icon "${text}")
string(REGEX MATCH "\nMimeType=[^\n]*" types "${text}")
string(STRIP "${icon}" icon)
string(STRIP "${types}" types)
if(NOT icon STREQUAL "Icon=korvanta" OR NOT EXISTS "${PACKAGING_DIR}/icons/korvanta.svg")
    message(FATAL_ERROR "the entry's ${icon} is not the installed icon korvanta")
endif()
file(READ "${mime}" declared)
if(NOT declared MATCHES "<mime-type type=\"([^\"]+)\"")
    message(FATAL_ERROR "${mime} declares no type")
endif()
set(type "${CMAKE_MATCH_1}")
if(NOT types MATCHES "[=;]${type};")
    message(FATAL_ERROR "the entry's ${types} does not list ${type}")
endif()

set(checked 0)
find_program(validate desktop-file-validate)
if(validate)
    execute_process(COMMAND "${validate}" "${entry}" OUTPUT_VARIABLE out ERROR_VARIABLE err
                    RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0 OR NOT "${out}${err}" STREQUAL "")
        message(FATAL_ERROR "desktop-file-validate:\n${out}${err}")
    endif()
    math(EXPR checked "${checked} + 1")
endif()

find_program(update_mime update-mime-database)
if(update_mime)
    string(RANDOM LENGTH 10 ALPHABET abcdefghijklmnopqrstuvwxyz0123456789 tag)
    if(DEFINED ENV{TMPDIR} AND IS_DIRECTORY "$ENV{TMPDIR}")
        set(db "$ENV{TMPDIR}/korvanta-mime-${tag}")
    else()
        set(db "/tmp/korvanta-mime-${tag}")
    endif()
    file(MAKE_DIRECTORY "${db}/packages")
    file(COPY_FILE "${mime}" "${db}/packages/korvanta.xml")
    execute_process(COMMAND "${update_mime}" "${db}" OUTPUT_VARIABLE out ERROR_VARIABLE err
                    RESULT_VARIABLE rc)
    file(STRINGS "${db}/globs2" globs REGEX "korvanta")
    file(READ "${db}/magic" magic HEX)
    file(REMOVE_RECURSE "${db}")
    # "VKvt" in hex; the magic file holds the type and its match.
    if(NOT rc EQUAL 0 OR NOT globs MATCHES ":${type}:\\*\\.kvt" OR NOT magic MATCHES "564b7674")
        message(FATAL_ERROR "update-mime-database (${rc}) made globs '${globs}' of ${mime}:\n"
                            "${out}${err}")
    endif()
    math(EXPR checked "${checked} + 1")
endif()

if(checked EQUAL 0)
    message(STATUS "skipped: neither desktop-file-validate nor update-mime-database found")
endif()
