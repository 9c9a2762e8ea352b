# Text views: loader, plain text, RTF reader, code pages.
add_library(tavelo_text OBJECT
  media/text_placeholder.cpp
)
set_target_properties(tavelo_text PROPERTIES AUTOMOC ON)
target_link_libraries(tavelo_text PUBLIC tavelo_options)
