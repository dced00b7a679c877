# suite_library(NAME SOURCES ... DEPS ...)
# One static library per folder; headers are included by their path from the tree's top.
function(suite_library NAME)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${NAME} STATIC ${ARG_SOURCES})
  target_include_directories(${NAME} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${NAME} PUBLIC ${ARG_DEPS})
  target_compile_options(${NAME} PRIVATE -Wall -Wextra)
endfunction()

# suite_test(NAME SOURCES ... DEPS ... [GUI])
# A GoogleTest executable linking only what it checks. GUI tests get a QApplication on
# Qt's offscreen platform, the others a QCoreApplication. Tests find the built programs
# through platform::testing::builtProgramsFolder().
function(suite_test NAME)
  cmake_parse_arguments(ARG "GUI" "TIMEOUT" "SOURCES;DEPS" ${ARGN})
  add_executable(${NAME} ${ARG_SOURCES})
  if(ARG_GUI)
    set(main platform_testing_gui_main)
  else()
    set(main platform_testing_core_main)
  endif()
  target_link_libraries(${NAME} PRIVATE ${ARG_DEPS} platform_testing ${main} GTest::gtest)
  target_compile_options(${NAME} PRIVATE -Wall -Wextra)
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  gtest_discover_tests(${NAME}
    DISCOVERY_MODE PRE_TEST
    TEST_FILTER "-*Child.*"
    DISCOVERY_TIMEOUT 60
    PROPERTIES
      TIMEOUT ${ARG_TIMEOUT}
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

# suite_program(NAME SOURCES ... DEPS ...)
# One of the three executables, written into the shared bin folder.
function(suite_program NAME)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${NAME} ${ARG_SOURCES})
  target_link_libraries(${NAME} PRIVATE ${ARG_DEPS})
  target_compile_options(${NAME} PRIVATE -Wall -Wextra)
  set_target_properties(${NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${SUITE_BIN_DIR})
endfunction()

# suite_benchmark(NAME SOURCES ... DEPS ...)
# A Google Benchmark executable under bench/. Benchmarks are built with the rest but
# never run by the tests; bench/run.sh runs them beside the reference tools.
function(suite_benchmark NAME)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${NAME} ${ARG_SOURCES})
  target_link_libraries(${NAME} PRIVATE ${ARG_DEPS} benchmark::benchmark)
  target_compile_options(${NAME} PRIVATE -Wall -Wextra)
  set_target_properties(${NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
endfunction()
