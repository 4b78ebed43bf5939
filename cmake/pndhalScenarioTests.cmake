# pndhal_add_scenario_tests: scenario scripts as CTest tests, for a project that found the pndhal package.
#
#   pndhal_add_scenario_tests(NAME SCRIPT...
#                             [LAUNCH TARGET_OR_PROGRAM [ARG...]]
#                             [PROFILE FILE] [TIME_SCALE FACTOR]
#                             [TIMEOUT SECONDS] [LAUNCH_WAIT SECONDS] [STOP_WAIT SECONDS]
#                             [LABELS LABEL...])
#
# Registers one test per script, NAME.<script's name without its extension>, that runs `pndhal run` on it:
# on a simulated device of the tool's own, or with LAUNCH on the application the tool starts for that test
# alone (its console on a port and with a token of its own), so that `ctest -j N` runs them side by side
# and `ctest --output-junit FILE` reports each script. LAUNCH's first word is a target of the project (its
# file is used) or a program; the words after it are its arguments. PROFILE and TIME_SCALE go to
# `pndhal run` as --profile and --time-scale; TIMEOUT (default 120) is the test's time limit; LAUNCH_WAIT and
# STOP_WAIT go to --launch-wait and --stop-wait. Each test carries the labels `pndhal` and `scenario`, and
# LABELS besides.
function(pndhal_add_scenario_tests name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "PROFILE;TIME_SCALE;TIMEOUT;LAUNCH_WAIT;STOP_WAIT" "LAUNCH;LABELS")
  set(scripts ${arg_UNPARSED_ARGUMENTS})
  if(NOT scripts)
    message(FATAL_ERROR "pndhal_add_scenario_tests(${name}): no scenario scripts given")
  endif()
  if(NOT arg_TIMEOUT)
    set(arg_TIMEOUT 120)
  endif()

  set(options)
  if(arg_LAUNCH)
    # One command line for --launch: each word in single quotes, the way the tool splits it again.
    list(POP_FRONT arg_LAUNCH program)
    if(TARGET ${program})
      set(program "$<TARGET_FILE:${program}>")
    endif()
    set(command "")
    foreach(word IN ITEMS "${program}" ${arg_LAUNCH})
      if(word MATCHES "'")
        message(FATAL_ERROR "pndhal_add_scenario_tests(${name}): a LAUNCH word holds a single quote: ${word}")
      endif()
      string(APPEND command " '${word}'")
    endforeach()
    string(STRIP "${command}" command)
    list(APPEND options --launch "${command}")
    if(arg_LAUNCH_WAIT)
      list(APPEND options --launch-wait ${arg_LAUNCH_WAIT})
    endif()
    if(arg_STOP_WAIT)
      list(APPEND options --stop-wait ${arg_STOP_WAIT})
    endif()
  elseif(arg_LAUNCH_WAIT OR arg_STOP_WAIT)
    message(FATAL_ERROR "pndhal_add_scenario_tests(${name}): LAUNCH_WAIT and STOP_WAIT go with LAUNCH")
  endif()
  if(arg_PROFILE)
    get_filename_component(profile "${arg_PROFILE}" ABSOLUTE)
    list(APPEND options --profile "${profile}")
  endif()
  if(arg_TIME_SCALE)
    list(APPEND options --time-scale ${arg_TIME_SCALE})
  endif()

  foreach(script IN LISTS scripts)
    get_filename_component(path "${script}" ABSOLUTE)
    get_filename_component(stem "${script}" NAME_WE)
    add_test(NAME ${name}.${stem} COMMAND pndhal::tool run ${options} "${path}")
    set_tests_properties(${name}.${stem} PROPERTIES TIMEOUT ${arg_TIMEOUT} LABELS "pndhal;scenario;${arg_LABELS}")
  endforeach()
endfunction()
