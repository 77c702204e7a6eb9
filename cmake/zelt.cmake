# zelt_library(<name> DEPS <targets...>)
#   A static library of every .cpp file in the calling folder and its subfolders,
#   except files named main.cpp. Headers are included as "<folder>/<file>.h" from
#   the source root, so the source root is the public include directory.
function(zelt_library name)
  cmake_parse_arguments(Z "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  list(FILTER srcs EXCLUDE REGEX "/main\\.cpp$")
  if(srcs)
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/generated)
    target_link_libraries(${name} PUBLIC ${Z_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/generated)
    target_link_libraries(${name} INTERFACE ${Z_DEPS})
  endif()
endfunction()

# zelt_test(<name> DEPS <targets...>): a GoogleTest program of every .cpp in the folder.
# Tests find the built programs through ZELT_BIN_DIR and the source tree through ZELT_SOURCE_DIR.
function(zelt_test name)
  cmake_parse_arguments(Z "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_executable(${name} ${srcs})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${Z_DEPS} zelt_test_support GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE ZELT_BIN_DIR="${CMAKE_BINARY_DIR}" ZELT_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST PROPERTIES TIMEOUT 300)
endfunction()

# zelt_fuzz(<name> <source> DEPS <targets...>): a libFuzzer target.
function(zelt_fuzz name source)
  cmake_parse_arguments(Z "" "" "DEPS" ${ARGN})
  add_executable(${name} ${source})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${Z_DEPS})
endfunction()

# zelt_bench(<name> DEPS <targets...>): a Google Benchmark program of every .cpp in the folder.
function(zelt_bench name)
  cmake_parse_arguments(Z "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_executable(${name} ${srcs})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
  target_link_libraries(${name} PRIVATE ${Z_DEPS} benchmark::benchmark)
  target_compile_definitions(${name} PRIVATE ZELT_BIN_DIR="${CMAKE_BINARY_DIR}" ZELT_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
endfunction()

# Adds every subfolder of <dir> that has a CMakeLists.txt.
macro(zelt_add_children dir)
  file(GLOB _children LIST_DIRECTORIES true ${CMAKE_SOURCE_DIR}/${dir}/*)
  list(SORT _children)
  foreach(_child ${_children})
    if(IS_DIRECTORY ${_child} AND EXISTS ${_child}/CMakeLists.txt)
      add_subdirectory(${_child})
    endif()
  endforeach()
endmacro()
