# The author's check of 300 twelve-megapixel slides against bare libjpeg.
# The generated disc is cached in the build tree (about 50 MB, made once).
add_executable(disc_check_bench bench/disc_check_bench.cpp bench/bare_jpeg.h tests/media/jpeg_codec.cpp)
target_link_libraries(disc_check_bench PRIVATE benchmark::benchmark tavelo_author tavelo_options JPEG::JPEG)
target_compile_definitions(disc_check_bench PRIVATE TAVELO_BENCH_CACHE="${CMAKE_BINARY_DIR}/bench-cache")
