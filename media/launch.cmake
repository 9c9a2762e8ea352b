# Shell launching through GIO (the desktop app info API lives in gio-unix).
pkg_check_modules(GIO_UNIX REQUIRED IMPORTED_TARGET gio-unix-2.0)
add_library(tavelo_launch OBJECT
  media/launcher.cpp
  media/file_run.cpp
)
target_link_libraries(tavelo_launch PUBLIC tavelo_options PkgConfig::GIO PkgConfig::GIO_UNIX)
