# The author's tool: the check on hand-made bad discs and the demo disc, and
# the tavelo-disc program's commands.
tavelo_add_test(author_test
  SOURCES tests/author/author_fixture.h tests/author/author_fixture.cpp
          tests/author/disc_check_test.cpp tests/author/cli_test.cpp
  LIBS tavelo_author tavelo_test_xdg)
target_compile_definitions(author_test PRIVATE
  TAVELO_DEMO_DISC="${CMAKE_SOURCE_DIR}/demo-disc"
  TAVELO_DISC_EXE="$<TARGET_FILE:tavelo-disc>")
add_dependencies(author_test tavelo-disc)

# The bundled demo disc passes the author's check as shipped.
add_test(NAME demo_disc_check COMMAND tavelo-disc check ${CMAKE_SOURCE_DIR}/demo-disc)
