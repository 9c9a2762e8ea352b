# JPEG reading and decoding, image boxes.
add_library(tavelo_jpeg OBJECT
  media/jpeg_image.h media/jpeg_image.cpp
  media/placement.h media/placement.cpp
  media/image_box.h media/image_box.cpp
)
set_target_properties(tavelo_jpeg PROPERTIES AUTOMOC ON)
target_link_libraries(tavelo_jpeg PUBLIC tavelo_options JPEG::JPEG)
