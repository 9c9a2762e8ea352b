# JPEG reading and decoding, image boxes.
add_library(tavelo_jpeg OBJECT
  media/jpeg_placeholder.cpp
)
set_target_properties(tavelo_jpeg PROPERTIES AUTOMOC ON)
target_link_libraries(tavelo_jpeg PUBLIC tavelo_options JPEG::JPEG)
