# korvanta_layer(<target> <folder> SOURCES <files>... [USES <targets>...] [LINKS <libraries>...])
#
# One layer of src/: a static library of the sources in src/<folder> that
# links only the layers it USES (each of them earlier in the order that
# cmake/CheckLayers.cmake lists) and exports only its own headers. Its
# include folder holds a single link, <folder> -> src/<folder>, so
# `#include "<folder>/X.h"` works for the layer and everything that links it,
# and a header of a layer that is not linked is simply not found.
function(korvanta_layer target folder)
    cmake_parse_arguments(LAYER "" "" "SOURCES;USES;LINKS" ${ARGN})
    add_library(${target} STATIC ${LAYER_SOURCES})
    set(root "${CMAKE_BINARY_DIR}/layer-include/${target}")
    get_filename_component(parent "${root}/${folder}" DIRECTORY)
    file(MAKE_DIRECTORY "${parent}")
    file(CREATE_LINK "${CMAKE_SOURCE_DIR}/src/${folder}" "${root}/${folder}" SYMBOLIC)
    target_include_directories(${target} PUBLIC "${root}")
    target_link_libraries(${target} PUBLIC ${LAYER_USES} PRIVATE korvanta_warnings ${LAYER_LINKS})
endfunction()
