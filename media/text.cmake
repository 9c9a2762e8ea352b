# Text views: loader, plain text, RTF reader, code pages.
add_library(tavelo_text OBJECT
  media/text_view.h media/text_view.cpp
  media/rtf_reader.h media/rtf_reader.cpp
  media/plain_text.h media/plain_text.cpp
  media/codepage.h media/codepage.cpp
)
set_target_properties(tavelo_text PROPERTIES AUTOMOC ON)
target_link_libraries(tavelo_text PUBLIC tavelo_options)
