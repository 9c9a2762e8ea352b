tavelo_add_test(content_test
  SOURCES tests/content/paths_test.cpp tests/content/lister_test.cpp tests/content/error_report_test.cpp
  LIBS tavelo_content)
