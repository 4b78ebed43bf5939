# Installation: libraries, the tool and its man page, the exported headers, a
# CMake package (find_package(pndhal CONFIG) giving pndhal::hal, pndhal::sim,
# pndhal::console, pndhal::tool and pndhal_add_scenario_tests()), pkg-config files, the
# documentation and the examples.
include(CMakePackageConfigHelpers)

set_target_properties(zualloc PROPERTIES EXPORT_NAME zualloc)
install(TARGETS hal pndsim zualloc
  EXPORT pndhalTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
if(TARGET externapi)
  install(TARGETS externapi LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
endif()
# The control surface: the tool's scenario language and the console host, which the simulated device
# loads into an application started with PNDSIM_CONSOLE set.
install(TARGETS pndscenario LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
# The console client, exported as pndhal::console, for an application's own test harness.
install(TARGETS pndconsole EXPORT pndhalTargets LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/tools/console_client/include/pndconsole
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
# The tool, exported as pndhal::tool for pndhal_add_scenario_tests().
set_target_properties(pndhal_tool PROPERTIES EXPORT_NAME tool)
install(TARGETS pndhal_tool EXPORT pndhalTargets RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The tool's man page, generated from its help so that the two never disagree.
set(PNDHAL_MAN_PAGE ${PROJECT_BINARY_DIR}/man/pndhal.1)
add_custom_command(OUTPUT ${PNDHAL_MAN_PAGE}
  COMMAND ${CMAKE_COMMAND} -DTOOL=$<TARGET_FILE:pndhal_tool> -DVERSION=${PROJECT_VERSION}
          -DOUTPUT=${PNDHAL_MAN_PAGE} -P ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
  DEPENDS pndhal_tool ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
  COMMENT "Writing the pndhal man page from its help")
add_custom_target(pndhal_man_page ALL DEPENDS ${PNDHAL_MAN_PAGE})
install(FILES ${PNDHAL_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# For application teams: the documentation, the example scenarios and the example application.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR} FILES_MATCHING PATTERN "*.md")
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/scenarios ${PROJECT_SOURCE_DIR}/examples/app
  ${PROJECT_SOURCE_DIR}/examples/console_client
  DESTINATION ${CMAKE_INSTALL_DATADIR}/pndhal/examples)

install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/pndhal
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} FILES_MATCHING PATTERN "*.h")
# The simulator's control API in an include root of its own: an application linking pndhal::hal alone
# does not see it; pndhal::sim (or pkg-config's pndsim) adds it.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/platform/include/pndsim
  DESTINATION ${PNDHAL_SIM_INCLUDEDIR} FILES_MATCHING PATTERN "*.h")

set(PNDHAL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/pndhal)
install(EXPORT pndhalTargets NAMESPACE pndhal:: DESTINATION ${PNDHAL_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/pndhalConfig.cmake.in
  ${PROJECT_BINARY_DIR}/pndhalConfig.cmake INSTALL_DESTINATION ${PNDHAL_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/pndhalConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/pndhalConfig.cmake ${PROJECT_BINARY_DIR}/pndhalConfigVersion.cmake
  ${PROJECT_SOURCE_DIR}/cmake/pndhalScenarioTests.cmake DESTINATION ${PNDHAL_CMAKE_DIR})

# The pkg-config files find the prefix relative to their own folder, so an
# install works wherever it is copied to.
file(RELATIVE_PATH PNDHAL_PC_TO_PREFIX "/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/")
foreach(pc pndhal pndsim)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/${pc}.pc.in ${PROJECT_BINARY_DIR}/${pc}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/${pc}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endforeach()

# The Python client, importable from PREFIX/lib/python3/dist-packages (Debian's layout), and the event
# schema beside the documentation.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/python/pndhal DESTINATION lib/python3/dist-packages
  FILES_MATCHING PATTERN "*.py")
install(FILES ${PROJECT_SOURCE_DIR}/docs/events.schema.json DESTINATION ${CMAKE_INSTALL_DOCDIR})
