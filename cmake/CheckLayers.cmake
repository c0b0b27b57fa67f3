# Checks the include graph of a source tree against the layer order.
#
#   cmake -DSOURCE_DIR=<dir holding the layer folders> [-DEXPECT=<file -> header>] -P CheckLayers.cmake
#
# A file may include headers of its own layer and of the layers before it in
# KORVANTA_LAYERS, never of a later one; so no two layers can include each
# other and no circle can form between them. Every violation is listed. With
# EXPECT the run succeeds only when exactly that violation is among them
# (the test of the checker itself).

# Lowest first. A folder not listed here may not hold sources.
set(KORVANTA_LAYERS
    io
    messages
    alg/midi
    alg/song
    alg/harmony
    styles
    project
    session
    playback
    settings
    print
    cli
    ui
    app)

if(NOT SOURCE_DIR)
    message(FATAL_ERROR "give -DSOURCE_DIR=<folder of the layers>")
endif()
get_filename_component(SOURCE_DIR "${SOURCE_DIR}" ABSOLUTE)

# The index of the layer that path (relative to SOURCE_DIR) lies in; -1 when none.
function(layer_of path out)
    set(best -1)
    set(bestLength 0)
    set(index 0)
    foreach(layer IN LISTS KORVANTA_LAYERS)
        string(LENGTH "${layer}/" length)
        string(SUBSTRING "${path}" 0 ${length} head)
        if(head STREQUAL "${layer}/" AND length GREATER bestLength)
            set(best ${index})
            set(bestLength ${length})
        endif()
        math(EXPR index "${index} + 1")
    endforeach()
    set(${out} ${best} PARENT_SCOPE)
endfunction()

file(GLOB_RECURSE sources RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/*.h" "${SOURCE_DIR}/*.cpp")
list(SORT sources)
set(violations "")
foreach(source IN LISTS sources)
    layer_of("${source}" own)
    if(own EQUAL -1)
        list(APPEND violations "${source}: in no layer")
        continue()
    endif()
    file(STRINGS "${SOURCE_DIR}/${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"]+/[^\"]+\"")
    foreach(line IN LISTS includes)
        string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*" "\\1" header "${line}")
        layer_of("${header}" theirs)
        if(theirs EQUAL -1)
            continue() # a header of a library outside the tree
        endif()
        if(theirs GREATER own)
            list(GET KORVANTA_LAYERS ${own} ownName)
            list(GET KORVANTA_LAYERS ${theirs} theirName)
            list(APPEND violations "${source} -> ${header} (${ownName} may not use ${theirName})")
        endif()
    endforeach()
endforeach()

if(DEFINED EXPECT)
    foreach(v IN LISTS violations)
        string(FIND "${v}" "${EXPECT}" at)
        if(at EQUAL 0)
            message(STATUS "found the planted violation: ${v}")
            return()
        endif()
    endforeach()
    message(FATAL_ERROR "the planted violation '${EXPECT}' was not found; found:\n${violations}")
endif()

if(violations)
    list(JOIN violations "\n  " text)
    message(FATAL_ERROR "includes against the layer order:\n  ${text}")
endif()
list(LENGTH sources count)
message(STATUS "${count} files follow the layer order")
