# Whole-program tests: the built tavelo in a private Xvfb, driven by xdotool
# and checked on screenshots. Each scenario is its own test with its own X
# server, so they may run in parallel.
find_program(TAVELO_PYTHON3 NAMES python3 REQUIRED)

set(_e2e_dir ${CMAKE_CURRENT_LIST_DIR})
foreach(_scenario demo startup menu slides keyboard songs errors exit readonly resilience highdpi)
  add_test(NAME e2e_${_scenario}
           COMMAND ${TAVELO_PYTHON3} ${_e2e_dir}/scenarios.py --tavelo $<TARGET_FILE:tavelo> ${_scenario})
  set_tests_properties(e2e_${_scenario} PROPERTIES LABELS e2e TIMEOUT 300)
endforeach()
