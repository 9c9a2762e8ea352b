# The private desktop for launch tests; whole-program and menu tests link it too.
add_library(tavelo_test_xdg STATIC tests/media/xdg_tree.h tests/media/xdg_tree.cpp)
target_link_libraries(tavelo_test_xdg PUBLIC tavelo_options)
# The recorder application, shared with the whole-program tests.
target_compile_definitions(tavelo_test_xdg PRIVATE TAVELO_RECORDER="${CMAKE_SOURCE_DIR}/tests/recorder.sh")

tavelo_add_test(launch_test
  SOURCES tests/media/launch_test.cpp
  LIBS tavelo_launch tavelo_content tavelo_test_xdg)
