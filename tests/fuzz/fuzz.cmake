# libFuzzer targets; configure with -DTAVELO_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++
# (Debian: clang and libclang-rt-dev, which the normal build does not need).
# They compile the byte-handling sources themselves, so only they carry the
# fuzzer and sanitizer instrumentation.
set(TAVELO_FUZZ_FLAGS -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)

function(tavelo_add_fuzzer name)
  add_executable(${name} ${ARGN})
  target_compile_options(${name} PRIVATE ${TAVELO_FUZZ_FLAGS})
  target_link_options(${name} PRIVATE ${TAVELO_FUZZ_FLAGS})
  target_link_libraries(${name} PRIVATE tavelo_options)
endfunction()

tavelo_add_fuzzer(rtf_fuzz tests/fuzz/rtf_fuzz.cpp media/rtf_reader.cpp media/codepage.cpp)
tavelo_add_fuzzer(plain_text_fuzz tests/fuzz/plain_text_fuzz.cpp media/plain_text.cpp media/codepage.cpp)
# A run: jpeg_fuzz -max_len=4096 -timeout=20 -rss_limit_mb=4096 WORKDIR tests/fuzz/corpus/jpeg
# A small file may announce a picture at the pixel budget, which decodes for up
# to a second here and far longer under the sanitizers; long runs add -fork=1
# -ignore_timeouts=1 so such inputs do not stop them.
tavelo_add_fuzzer(jpeg_fuzz tests/fuzz/jpeg_fuzz.cpp
  media/jpeg_image.cpp media/image_box.cpp media/placement.cpp content/paths.cpp)
set_target_properties(jpeg_fuzz PROPERTIES AUTOMOC ON)
# The system's libjpeg is not instrumented, so the search sees only our branches;
# instrumented-libjpeg.sh builds the same library version with the fuzz flags.
set(TAVELO_FUZZ_LIBJPEG "" CACHE FILEPATH "Instrumented static libjpeg for jpeg_fuzz (optional)")
if(TAVELO_FUZZ_LIBJPEG)
  target_link_libraries(jpeg_fuzz PRIVATE ${TAVELO_FUZZ_LIBJPEG})
else()
  target_link_libraries(jpeg_fuzz PRIVATE JPEG::JPEG)
endif()

# Writes the JPEG fuzzer's seed pictures (see the recipe in jpeg_seeds.cpp).
add_executable(jpeg_fuzz_seeds tests/fuzz/jpeg_seeds.cpp tests/media/jpeg_codec.cpp)
target_link_libraries(jpeg_fuzz_seeds PRIVATE tavelo_options JPEG::JPEG)
