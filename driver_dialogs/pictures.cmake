# fw_embed_dialog_pictures(<target> <module>): the driver dialogs' pictures
# as BITMAP resources of <target>, a binary that shows the dialogs.
include_guard(GLOBAL)
include(${CMAKE_CURRENT_LIST_DIR}/../platform/ui/resources.cmake)

function(fw_embed_dialog_pictures target module)
  set(dir ${CMAKE_SOURCE_DIR}/driver_dialogs/pictures)
  fw_embed_resources(${target} MODULE ${module}
                     RESOURCES FWLOGO BITMAP ${dir}/Logo.bmp
                               FWERROR BITMAP ${dir}/Error.bmp
                               FWINFORMATION BITMAP ${dir}/Information.bmp)
endfunction()
