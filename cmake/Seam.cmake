# The platform seam, checked on every build that touches the HAL: cmake/check_seam.sh reads every file of
# the HAL folders and the HAL core's source list, and the HAL core is compiled only after it passed. Its
# depfile names each file and folder it read, so an unchanged HAL costs nothing. The sources CMake generates
# for the core itself (unity batches, a precompiled header) only include the core's sources, which are
# checked, so they are left out.
get_property(pndhal_hal_folders GLOBAL PROPERTY PNDHAL_HAL_FOLDERS)
set(pndhal_seam_stamp ${PROJECT_BINARY_DIR}/seam.checked)
add_custom_command(OUTPUT ${pndhal_seam_stamp}
  COMMAND ${PROJECT_SOURCE_DIR}/cmake/check_seam.sh --stamp ${pndhal_seam_stamp}
          ${PROJECT_SOURCE_DIR} ${pndhal_hal_folders}
          --sources $<FILTER:$<TARGET_PROPERTY:pndhal_core,SOURCES>,EXCLUDE,/CMakeFiles/pndhal_core\.dir/>
  DEPENDS ${PROJECT_SOURCE_DIR}/cmake/check_seam.sh
  DEPFILE ${pndhal_seam_stamp}.d
  COMMENT "Checking the platform seam"
  COMMAND_EXPAND_LISTS
  VERBATIM)
add_custom_target(pndhal_seam DEPENDS ${pndhal_seam_stamp})
add_dependencies(pndhal_core pndhal_seam)
