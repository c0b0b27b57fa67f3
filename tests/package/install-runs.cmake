# Installs a build into a fresh prefix outside the source tree and checks that
# the installed programs need nothing else: korvanta-cli analyzes a sample from
# the installed data and uses the installed style library (also when started
# through a link), `korvanta --setup` stores the installed data folder, the
# style import tool lies beside the desktop program, and the prefix holds every
# data folder of the checkout, the desktop entry, the project type and the
# icons at their sizes.
#   cmake -DBUILD_DIR=<build folder> -DSOURCE_DIR=<checkout> -P install-runs.cmake

if(DEFINED ENV{TMPDIR} AND IS_DIRECTORY "$ENV{TMPDIR}")
    set(tmp "$ENV{TMPDIR}")
else()
    set(tmp /tmp)
endif()
string(RANDOM LENGTH 10 ALPHABET abcdefghijklmnopqrstuvwxyz0123456789 tag)
set(scratch "${tmp}/korvanta-install-${tag}")
set(prefix "${scratch}/prefix")
set(bin "${prefix}/bin")
set(share "${prefix}/share")
set(data "${share}/korvanta")
file(MAKE_DIRECTORY "${scratch}/work" "${scratch}/home" "${scratch}/config" "${scratch}/links")

function(fail what)
    file(REMOVE_RECURSE "${scratch}")
    message(FATAL_ERROR "${what}")
endfunction()

# Runs a command in the scratch work folder with a clean environment for the
# programs: no style folder from outside, settings and home inside scratch.
function(run out_var)
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env --unset=KORVANTA_STYLES
                "XDG_CONFIG_HOME=${scratch}/config" "HOME=${scratch}/home" ${ARGN}
        WORKING_DIRECTORY "${scratch}/work"
        OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc TIMEOUT 120)
    if(NOT rc EQUAL 0)
        fail("${ARGN}\nfailed (${rc}):\n${out}${err}")
    endif()
    set(${out_var} "${out}" PARENT_SCOPE)
endfunction()

run(ignored ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${prefix}")

# --- the layout ---------------------------------------------------------------
foreach(program korvanta korvanta-cli korvanta-style-import korvanta-style-audition)
    execute_process(COMMAND test -x "${bin}/${program}" RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        fail("bin/${program} is missing or not executable")
    endif()
endforeach()

execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${SOURCE_DIR}/data/gmi.txt"
                        "${data}/gmi.txt" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    fail("share/korvanta/gmi.txt is missing or differs from data/gmi.txt")
endif()

# Each data folder goes in whole, file for file; only the style sources stay
# behind. help/ is checked when the checkout has it.
foreach(folder samples Styles images help)
    set(source "${SOURCE_DIR}/data/${folder}")
    if(NOT IS_DIRECTORY "${source}")
        if(folder STREQUAL "help")
            message(STATUS "data/help is not in this checkout; not checked")
            continue()
        endif()
        fail("data/${folder} is missing from the checkout")
    endif()
    file(GLOB_RECURSE expected RELATIVE "${source}" "${source}/*")
    list(FILTER expected EXCLUDE REGEX "^src/")
    file(GLOB_RECURSE installed RELATIVE "${data}/${folder}" "${data}/${folder}/*")
    list(SORT expected)
    list(SORT installed)
    if(NOT expected AND folder MATCHES "^(samples|Styles)$")
        fail("data/${folder} is empty")
    endif()
    if(NOT IS_DIRECTORY "${data}/${folder}" OR NOT installed STREQUAL expected)
        fail("share/korvanta/${folder} holds\n  ${installed}\nbut data/${folder} has\n  ${expected}")
    endif()
endforeach()

foreach(file applications/korvanta.desktop mime/packages/korvanta.xml
             icons/hicolor/scalable/apps/korvanta.svg)
    if(NOT EXISTS "${share}/${file}")
        fail("share/${file} is missing")
    endif()
endforeach()
# Every icon is a PNG of the size its folder names (width and height are the
# two big-endian words after the signature and the IHDR header).
foreach(size 16 32 48 64 128 256)
    set(icon "${share}/icons/hicolor/${size}x${size}/apps/korvanta.png")
    if(NOT EXISTS "${icon}")
        fail("${icon} is missing")
    endif()
    file(READ "${icon}" head LIMIT 24 HEX)
    string(SUBSTRING "${head}" 0 16 signature)
    string(SUBSTRING "${head}" 32 8 width)
    string(SUBSTRING "${head}" 40 8 height)
    math(EXPR width "0x${width}")
    math(EXPR height "0x${height}")
    if(NOT signature STREQUAL "89504e470d0a1a0a" OR NOT width EQUAL size OR NOT height EQUAL size)
        fail("${icon} is not a ${size}x${size} PNG (${width}x${height})")
    endif()
endforeach()

# --- the installed programs at work ------------------------------------------
run(analysis "${bin}/korvanta-cli" analyze "${data}/samples/twinkle-twinkle.mid")
if(NOT analysis MATCHES "(^|\n)key: C major\n")
    fail("the installed korvanta-cli printed no key for twinkle-twinkle.mid:\n${analysis}")
endif()

# The style library in use is the installed one, also through a link to the
# program (a link in some bin folder on the PATH, say).
file(CREATE_LINK "${bin}/korvanta-cli" "${scratch}/links/korvanta-cli" SYMBOLIC)
foreach(cli "${bin}/korvanta-cli" "${scratch}/links/korvanta-cli")
    run(styles "${cli}" styles --json)
    string(FIND "${styles}" "\"folder\":\"${data}/Styles\"" at)
    if(at EQUAL -1)
        fail("${cli} does not use the installed styles:\n${styles}")
    endif()
    if(NOT styles MATCHES "\"name\":\"[^\"]+\"")
        fail("${cli} lists no style:\n${styles}")
    endif()
endforeach()

# korvanta --setup (no display needed) stores the installed data folder.
run(setup "${bin}/korvanta" --setup)
if(NOT setup MATCHES "settings written to ([^\n]+)")
    fail("korvanta --setup did not say where it wrote:\n${setup}")
endif()
set(settings "${CMAKE_MATCH_1}")
string(FIND "${settings}" "${scratch}/config/" at)
if(NOT at EQUAL 0 OR NOT EXISTS "${settings}")
    fail("korvanta --setup wrote ${settings}, not under XDG_CONFIG_HOME")
endif()
file(STRINGS "${settings}" install_path REGEX "^InstallPath=")
if(NOT install_path STREQUAL "InstallPath=${data}/")
    fail("korvanta --setup stored '${install_path}', not the installed ${data}/")
endif()

file(REMOVE_RECURSE "${scratch}")
message(STATUS "installed and ran from ${prefix}")
