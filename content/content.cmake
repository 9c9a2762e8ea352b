# Errors, the error report and disc content: everything else builds on these.
add_library(tavelo_content OBJECT
  app/errors.h
  app/error_report.h app/error_report.cpp
  content/paths.h content/paths.cpp
  content/shell_tree_view.h content/shell_tree_view.cpp
  content/dir_outline.h content/dir_outline.cpp
)
target_link_libraries(tavelo_content PUBLIC tavelo_options)
