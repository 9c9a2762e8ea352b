# tavelo_add_test(NAME sources... LIBS objlibs...)
function(tavelo_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE tavelo_test_main ${T_LIBS} tavelo_options)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 600)
endfunction()

include(tests/content/tests.cmake)
include(tests/media/jpeg_tests.cmake OPTIONAL)
include(tests/media/text_tests.cmake OPTIONAL)
include(tests/media/launch_tests.cmake OPTIONAL)
include(tests/app/tests.cmake OPTIONAL)
include(tests/menu/tests.cmake OPTIONAL)
include(tests/e2e/tests.cmake OPTIONAL)

# The bundled demo disc is complete (layout, picture kinds, encodings, size).
add_test(NAME demo_disc COMMAND sh ${CMAKE_SOURCE_DIR}/tests/demo_disc_test.sh ${CMAKE_SOURCE_DIR}/demo-disc)
