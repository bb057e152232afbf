# Each subsystem is one static library built from every .cpp file in its folder, so adding
# a source file needs no change here.
function(scorewell_module name)
  cmake_parse_arguments(M "" "" "DEPS;SYSTEM" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${name}/*.cpp
                                      ${CMAKE_CURRENT_SOURCE_DIR}/${name}/*/*.cpp)
  if(NOT sources)
    add_library(scorewell_${name} INTERFACE)
    target_include_directories(scorewell_${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(scorewell_${name} INTERFACE ${M_DEPS} ${M_SYSTEM})
    return()
  endif()
  add_library(scorewell_${name} STATIC ${sources})
  target_include_directories(scorewell_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(scorewell_${name} PUBLIC ${M_DEPS} ${M_SYSTEM})
endfunction()

# One test program per folder under tests/, linked with the libraries it exercises.
function(scorewell_tests name)
  cmake_parse_arguments(T "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${name}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(test_${name} ${sources})
  target_link_libraries(test_${name} PRIVATE scorewell_test_config scorewell_test_support ${T_DEPS} GTest::gtest_main)
  gtest_discover_tests(test_${name} DISCOVERY_TIMEOUT 60
                       PROPERTIES ENVIRONMENT "SCOREWELL_TEST_DATA=${PROJECT_SOURCE_DIR}/tests/data" TIMEOUT 300)
endfunction()
