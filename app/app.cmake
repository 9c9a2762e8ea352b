# The window, the application frame and the menu behaviour.
add_library(tavelo_ui OBJECT
  app/ui_placeholder.cpp
)
set_target_properties(tavelo_ui PROPERTIES AUTOMOC ON AUTOUIC ON)
target_link_libraries(tavelo_ui PUBLIC tavelo_options)
