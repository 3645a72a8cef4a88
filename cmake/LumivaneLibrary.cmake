# lumivane_library(<name> [PUBLIC deps...] [PRIVATE deps...])
# A static library of every .cpp in the calling folder (and the extra globs in SOURCES_GLOB).
# A folder without sources yet gives an interface library, so dependants still link.
function(lumivane_library name)
    cmake_parse_arguments(ARG "" "" "PUBLIC;PRIVATE;SOURCES_GLOB" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${ARG_SOURCES_GLOB})
    if(sources)
        add_library(${name} STATIC ${sources})
        target_link_libraries(${name} PUBLIC ${ARG_PUBLIC} PRIVATE ${ARG_PRIVATE})
    else()
        add_library(${name} INTERFACE)
        target_link_libraries(${name} INTERFACE ${ARG_PUBLIC} ${ARG_PRIVATE})
    endif()
endfunction()
