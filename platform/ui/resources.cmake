# fw_embed_resources(<target> MODULE <module> RESOURCES <name> <type> <file> ...)
# Compiles the files into <target> as resources of <module> (see
# platform/ui/Resources.h): a BITMAP is a whole .bmp file, an ICON a whole
# .ico file, RCDATA any bytes. The table is regenerated when a file changes.
include_guard(GLOBAL)

function(fw_embed_resources target)
  set(script ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/EmbedResources.cmake)
  cmake_parse_arguments(R "" "MODULE" "RESOURCES" ${ARGN})
  list(LENGTH R_RESOURCES count)
  math(EXPR rest "${count} % 3")
  if(NOT R_MODULE OR count EQUAL 0 OR NOT rest EQUAL 0)
    message(FATAL_ERROR "fw_embed_resources(${target}): MODULE and RESOURCES name type file ... needed")
  endif()
  set(files "")
  set(entries "")
  math(EXPR last "${count} - 1")
  foreach(i RANGE 0 ${last} 3)
    math(EXPR t "${i} + 1")
    math(EXPR f "${i} + 2")
    list(GET R_RESOURCES ${i} name)
    list(GET R_RESOURCES ${t} type)
    list(GET R_RESOURCES ${f} file)
    get_filename_component(file ${file} ABSOLUTE)
    list(APPEND files ${file})
    string(APPEND entries "${name}|${type}|${file};")
  endforeach()
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.cpp)
  add_custom_command(
    OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} "-DOUT=${out}" "-DMODULE=${R_MODULE}" "-DENTRIES=${entries}" -P ${script}
    DEPENDS ${files} ${script}
    COMMENT "Embedding resources of ${R_MODULE}"
    VERBATIM)
  target_sources(${target} PRIVATE ${out})
endfunction()
