tavelo_add_test(text_test
  SOURCES tests/media/text_loader_test.cpp tests/media/text_rtf_test.cpp
  LIBS tavelo_text tavelo_content)
