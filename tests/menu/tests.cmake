tavelo_add_test(menu_test
  SOURCES tests/menu/form_fixture.h tests/menu/form_fixture.cpp
          tests/menu/menu_test.cpp tests/menu/slides_test.cpp tests/menu/catalogue_test.cpp
  LIBS tavelo_core tavelo_test_xdg)
