# Read + decode of a JPEG by the program against the bare library.
add_executable(jpeg_bench bench/jpeg_bench.cpp bench/bare_jpeg.h tests/media/jpeg_codec.cpp)
target_link_libraries(jpeg_bench PRIVATE benchmark::benchmark tavelo_jpeg tavelo_content tavelo_options)
