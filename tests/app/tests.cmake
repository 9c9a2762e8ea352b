tavelo_add_test(window_test
  SOURCES tests/menu/form_fixture.h tests/menu/form_fixture.cpp tests/app/window_test.cpp
  LIBS tavelo_core tavelo_test_xdg)
