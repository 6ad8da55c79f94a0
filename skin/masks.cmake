# fw_embed_skin_masks(<target> <module>): the built-in border masks
# "BORD1".."BORD6" (skin/masks/, drawn by scripts/draw-skin-masks.py) as
# BITMAP resources of <target>, a binary that paints buttons. They come in
# an object library of their own, so the target may embed other resources
# too, and the linker keeps their registration.
include_guard(GLOBAL)
include(${CMAKE_CURRENT_LIST_DIR}/../platform/ui/resources.cmake)

function(fw_embed_skin_masks target module)
  set(resources "")
  foreach(i RANGE 1 6)
    list(APPEND resources BORD${i} BITMAP ${CMAKE_SOURCE_DIR}/skin/masks/BORD${i}.bmp)
  endforeach()
  add_library(${target}_skin_masks OBJECT)
  target_link_libraries(${target}_skin_masks PRIVATE platform)
  fw_embed_resources(${target}_skin_masks MODULE ${module} RESOURCES ${resources})
  target_link_libraries(${target} PRIVATE ${target}_skin_masks)
endfunction()
