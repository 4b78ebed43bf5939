# pndhal_embed_assets(OUTPUT NAMESPACE FILE...): writes OUTPUT, a C++ source that holds each FILE as a byte
# array and defines `std::span<const Asset> NAMESPACE::Assets()` (Asset as NAMESPACE/assets.h declares it:
# the file's name, its media type and its bytes). The source is written again whenever a FILE changes, so
# the tool built carries the files as they are in the tree.
function(pndhal_embed_assets output namespace)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -DOUTPUT=${output} -DNAMESPACE=${namespace} "-DFILES=${ARGN}"
            -P ${PROJECT_SOURCE_DIR}/cmake/embed_assets_script.cmake
    DEPENDS ${ARGN} ${PROJECT_SOURCE_DIR}/cmake/embed_assets_script.cmake
    COMMENT "Embedding ${namespace} assets"
    VERBATIM)
endfunction()
