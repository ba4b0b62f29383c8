# Helpers shared by every subsystem's CMakeLists.txt.

# Adds each named subdirectory that has a CMakeLists.txt, in the order given.
function(ostrel_add_subdirectories)
  foreach(dir IN LISTS ARGN)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
      add_subdirectory(${dir})
    endif()
  endforeach()
endfunction()

# Our own code builds with warnings on and treated as errors.
function(ostrel_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align
    -Wimplicit-fallthrough -Werror)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-Wno-missing-field-initializers>)
  endif()
endfunction()

# ostrel_add_test(NAME name SOURCES ... LIBS ... [LABELS ...] [TIMEOUT seconds])
# One GoogleTest executable, registered with ctest as one test.
function(ostrel_add_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  ostrel_warnings(${T_NAME})
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;OSTREL_SOURCE_DIR=${PROJECT_SOURCE_DIR};OSTREL_TESTDATA=${PROJECT_SOURCE_DIR}/tests/data")
  if(T_LABELS)
    set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()

# ostrel_add_fuzzer(NAME name SOURCES ... LIBS ...): a libFuzzer target (OSTREL_FUZZ builds only).
function(ostrel_add_fuzzer)
  cmake_parse_arguments(F "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${F_NAME} ${F_SOURCES})
  target_link_libraries(${F_NAME} PRIVATE ${F_LIBS})
  target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
  ostrel_warnings(${F_NAME})
  set_property(GLOBAL APPEND PROPERTY OSTREL_FUZZERS ${F_NAME})
endfunction()

# ostrel_add_bench(NAME name SOURCES ... LIBS ...): a Google Benchmark executable.
function(ostrel_add_bench)
  cmake_parse_arguments(B "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${B_NAME} ${B_SOURCES})
  target_link_libraries(${B_NAME} PRIVATE ${B_LIBS} benchmark::benchmark)
  ostrel_warnings(${B_NAME})
endfunction()
