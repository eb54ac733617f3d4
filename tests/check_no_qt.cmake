# Fails when a source file of the logic libraries includes a Qt header.
file(GLOB_RECURSE sources
    ${ROOT}/core/*.h ${ROOT}/core/*.cpp
    ${ROOT}/partfile/*.h ${ROOT}/partfile/*.cpp
    ${ROOT}/machinefile/*.h ${ROOT}/machinefile/*.cpp
    ${ROOT}/machine/*.h ${ROOT}/machine/*.cpp
    ${ROOT}/settings/*.h ${ROOT}/settings/*.cpp
    ${ROOT}/files/*.h ${ROOT}/files/*.cpp
    ${ROOT}/platform/*.h ${ROOT}/platform/*.cpp
    ${ROOT}/sound/*.h ${ROOT}/sound/*.cpp
    ${ROOT}/take/*.h ${ROOT}/take/*.cpp
    ${ROOT}/motion/*.h ${ROOT}/motion/*.cpp
    ${ROOT}/link/*.h ${ROOT}/link/*.cpp
    ${ROOT}/cli/*.h ${ROOT}/cli/*.cpp)
list(FILTER sources EXCLUDE REGEX "/platform/(qt|midi|link)/")
foreach(source IN LISTS sources)
    file(STRINGS ${source} hits REGEX "#[ \t]*include[ \t]*[<\"](Q[A-Za-z]|qt)")
    if(hits)
        message(FATAL_ERROR "${source} includes Qt: ${hits}")
    endif()
endforeach()
message(STATUS "checked ${CMAKE_MATCH_COUNT} logic sources: no Qt")
