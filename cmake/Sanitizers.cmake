if(UPDATER_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
elseif(UPDATER_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT UPDATER_SANITIZE STREQUAL "")
  message(FATAL_ERROR "UPDATER_SANITIZE must be '', 'address' or 'thread'")
endif()

# Fuzzing (clang only): the code under test is instrumented for libFuzzer and
# built with the address and undefined-behaviour sanitizers; fuzz/ links the
# fuzzer's driver into each target.
if(UPDATER_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()
