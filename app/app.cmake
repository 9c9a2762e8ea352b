# The window, the application frame and the menu behaviour.
add_library(tavelo_ui OBJECT
  app/app_title.h app/app_title.cpp
  app/colors.h
  app/timer.h app/timer.cpp
  app/message_box_report.h app/message_box_report.cpp
  app/panel.h app/panel.cpp
  app/radio_group.h app/radio_group.cpp
  app/tree_view.h app/tree_view.cpp
  app/form1.ui app/form1.h app/form1.cpp
  app/icons.qrc
  app/fonts.qrc
  app/resources.h app/resources.cpp
  menu/state.h
  menu/folders.h
  menu/startup.cpp
  menu/section_menu.cpp
  menu/slide_show.cpp
  menu/catalogue.cpp
  menu/lyrics.cpp
  menu/pages.cpp
)
set_target_properties(tavelo_ui PROPERTIES AUTOMOC ON AUTOUIC ON AUTORCC ON)
target_link_libraries(tavelo_ui PUBLIC tavelo_options tavelo_content tavelo_jpeg tavelo_text tavelo_launch)
# form1.h includes the generated ui_form1.h; its users need the folder too.
target_include_directories(tavelo_ui PUBLIC ${CMAKE_CURRENT_BINARY_DIR}/tavelo_ui_autogen/include)
