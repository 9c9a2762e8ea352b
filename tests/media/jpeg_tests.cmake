tavelo_add_test(jpeg_test
  SOURCES tests/media/jpeg_codec.h tests/media/jpeg_codec.cpp
          tests/media/jpeg_decode_test.cpp tests/media/jpeg_box_test.cpp
  LIBS tavelo_jpeg tavelo_content)
