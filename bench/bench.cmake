include(bench/jpeg_bench.cmake OPTIONAL)
include(bench/catalogue_bench.cmake OPTIONAL)
include(bench/text_bench.cmake OPTIONAL)
