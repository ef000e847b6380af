# assistant_test(NAME sources... [LIBS libs...] [TIMEOUT seconds] [RESOURCES])
# One GoogleTest executable, run under Wine by CTest. A test binary that dies
# part-way can still exit with 0 under Wine, so a run passes only when
# GoogleTest printed its own closing "[  PASSED  ]" line and no failure.
function(assistant_test name)
  cmake_parse_arguments(T "RESOURCES" "TIMEOUT" "LIBS" ${ARGN})
  add_executable(${name} ${T_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE GTest::gtest_main assistant_testkit ${T_LIBS})
  if(T_RESOURCES)
    target_link_libraries(${name} PRIVATE assistant_resources)
  endif()
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${T_TIMEOUT}
    PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] [0-9]+ tests?\\."
    FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\]")
endfunction()
