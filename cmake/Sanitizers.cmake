if(UPDATER_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
elseif(UPDATER_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT UPDATER_SANITIZE STREQUAL "")
  message(FATAL_ERROR "UPDATER_SANITIZE must be '', 'address' or 'thread'")
endif()
if(NOT UPDATER_SANITIZE STREQUAL "")
  # Sanitizer builds exist to run the tests: -O1 keeps the reports' frames
  # honest, line tables are all a report needs, and both compile several
  # times faster than -O2 -g (under ASan+UBSan about four times).
  add_compile_options(-O1 -g1)
endif()

# Fuzzing (clang only): the code under test is instrumented for libFuzzer and
# built with the address and undefined-behaviour sanitizers; fuzz/ links the
# fuzzer's driver into each target.
if(UPDATER_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()
