# Shell launching through GIO.
add_library(tavelo_launch OBJECT
  media/launch_placeholder.cpp
)
target_link_libraries(tavelo_launch PUBLIC tavelo_options PkgConfig::GIO)
