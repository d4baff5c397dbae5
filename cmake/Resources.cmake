# The executable carries its resources (images, icon, HTML page) inside itself, as a table of
# (id, type, bytes). The bytes are pulled in with the assembler's .incbin, so a copy of the
# executable anywhere still has them and the build needs no code generator.
set(NEBRISK_RESOURCES
  # id  type   file
  "106|HTML|resources/game_blank.html"
  "137|PNG|resources/images/button_close_hot.png"
  "138|PNG|resources/images/button_close.png"
  "139|PNG|resources/images/button_home.png"
  "140|PNG|resources/images/button_home_hot.png"
  "141|PNG|resources/images/button_forum.png"
  "142|PNG|resources/images/button_forum_hot.png"
  "143|PNG|resources/images/button_recharge.png"
  "144|PNG|resources/images/button_recharge_hot.png"
  "145|PNG|resources/images/button_service.png"
  "147|PNG|resources/images/button_service_hot.png"
  "155|ICON|resources/images/nebrisk.ico"
  "158|PNG|resources/images/launcher_background.png"
  "159|PNG|resources/images/button_minimize.png"
  "160|PNG|resources/images/button_minimize_hot.png")

set(_asm "")
set(_table "")
set(_deps "")
foreach(entry ${NEBRISK_RESOURCES})
  string(REPLACE "|" ";" parts "${entry}")
  list(GET parts 0 id)
  list(GET parts 1 type)
  list(GET parts 2 file)
  set(path "${PROJECT_SOURCE_DIR}/${file}")
  list(APPEND _deps "${path}")
  string(APPEND _asm "    .global nebrisk_res_${id}\n    .global nebrisk_res_${id}_end\n"
                     "    .balign 16\nnebrisk_res_${id}:\n    .incbin \"${path}\"\nnebrisk_res_${id}_end:\n")
  string(APPEND _decl "extern \"C\" const unsigned char nebrisk_res_${id}[], nebrisk_res_${id}_end[];\n")
  string(APPEND _table "    {${id}, L\"${type}\", nebrisk_res_${id}, nebrisk_res_${id}_end},\n")
endforeach()

set(NEBRISK_RESOURCE_ASM ${CMAKE_BINARY_DIR}/generated/resource_blobs.S)
set(NEBRISK_RESOURCE_TABLE ${CMAKE_BINARY_DIR}/generated/resource_table.cpp)
file(WRITE ${NEBRISK_RESOURCE_ASM}.in
  "    .section .rodata\n${_asm}    .section .note.GNU-stack,\"\",@progbits\n")
configure_file(${NEBRISK_RESOURCE_ASM}.in ${NEBRISK_RESOURCE_ASM} COPYONLY)
file(WRITE ${NEBRISK_RESOURCE_TABLE}.in
  "// Generated from cmake/Resources.cmake.\n#include \"platform/win/resource_table.h\"\n${_decl}\n"
  "namespace win {\nconst EmbeddedResource kEmbeddedResources[] = {\n${_table}};\n"
  "const std::size_t kEmbeddedResourceCount = sizeof kEmbeddedResources / sizeof kEmbeddedResources[0];\n}\n")
configure_file(${NEBRISK_RESOURCE_TABLE}.in ${NEBRISK_RESOURCE_TABLE} COPYONLY)
set_source_files_properties(${NEBRISK_RESOURCE_ASM} PROPERTIES OBJECT_DEPENDS "${_deps}")
set(NEBRISK_RESOURCE_SOURCES ${NEBRISK_RESOURCE_ASM} ${NEBRISK_RESOURCE_TABLE})
