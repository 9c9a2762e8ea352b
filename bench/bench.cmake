include(bench/jpeg_bench.cmake OPTIONAL)
include(bench/catalogue_bench.cmake OPTIONAL)
include(bench/disc_check_bench.cmake)
include(bench/text_bench.cmake)
