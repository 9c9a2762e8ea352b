# The author's tool tavelo-disc: checks a disc with the menu's own core,
# builds its image, lays out a new one.
add_library(tavelo_author STATIC
  author/disc_check.h author/disc_check.cpp
  author/disc_image.h author/disc_image.cpp
  author/disc_new.h author/disc_new.cpp
)
target_link_libraries(tavelo_author PUBLIC tavelo_core tavelo_options)

add_executable(tavelo-disc author/main.cpp)
target_link_libraries(tavelo-disc PRIVATE tavelo_author tavelo_options)
