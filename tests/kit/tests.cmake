# The disc kit and the demo disc's image, proven as a listener meets them:
# in a clean Debian 12 root (made by debootstrap once, kept in kit-root/) and
# against a foreign Qt on this machine. Needs root and the Debian mirror.
find_program(TAVELO_PYTHON3 NAMES python3 REQUIRED)
add_test(NAME kit
         COMMAND ${TAVELO_PYTHON3} ${CMAKE_CURRENT_LIST_DIR}/kit_test.py
                 --source ${CMAKE_SOURCE_DIR} --work ${CMAKE_BINARY_DIR}/kit-test
                 --root-cache ${CMAKE_BINARY_DIR}/kit-root)
# Alone: its Release build and root would load the timed whole-program tests.
set_tests_properties(kit PROPERTIES LABELS kit TIMEOUT 2400 RUN_SERIAL TRUE)
