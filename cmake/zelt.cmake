# zelt_library(<name> [DIRS <folders...>] DEPS <targets...>)
#   A static library of every .cpp file in its folders (the calling folder by default)
#   and their subfolders, except files named main.cpp. Headers are included as
#   "<folder>/<file>.h": below src/ the folder is named from src/ ("formats/..."),
#   elsewhere from the source root ("sim/host/..."). Each library's public include
#   directory is a folder of the build tree holding links to its own folders only, so
#   a file sees the headers of its own library and of the libraries it links, and an
#   include of a layer above does not compile.
function(zelt_library name)
  cmake_parse_arguments(Z "" "" "DIRS;DEPS" ${ARGN})
  if(NOT Z_DIRS)
    set(Z_DIRS ${CMAKE_CURRENT_SOURCE_DIR})
  endif()
  set(include_root ${CMAKE_BINARY_DIR}/include/${name})
  set(srcs)
  foreach(dir ${Z_DIRS})
    get_filename_component(dir ${dir} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    file(GLOB_RECURSE dir_srcs CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.c)
    list(APPEND srcs ${dir_srcs})
    string(FIND "${dir}/" "${CMAKE_SOURCE_DIR}/src/" under_src)
    if(under_src EQUAL 0)
      file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR}/src ${dir})
    else()
      file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR} ${dir})
    endif()
    get_filename_component(parent ${include_root}/${rel} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${dir} ${include_root}/${rel} SYMBOLIC)
  endforeach()
  list(FILTER srcs EXCLUDE REGEX "/main\\.cpp$")
  if(srcs)
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PUBLIC ${include_root})
    target_link_libraries(${name} PUBLIC ${Z_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${include_root})
    target_link_libraries(${name} INTERFACE ${Z_DEPS})
  endif()
endfunction()

# zelt_test(<name> DEPS <targets...>): a GoogleTest program of every .cpp in the folder.
# Tests find the built programs through ZELT_BIN_DIR and the source tree through ZELT_SOURCE_DIR.
# Tests, benchmarks and fuzz targets sit above every layer: they include from the source root.
function(zelt_test name)
  cmake_parse_arguments(Z "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_executable(${name} ${srcs})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${Z_DEPS} zelt_test_support zelt_test_signing_key GTest::gtest GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_definitions(${name} PRIVATE ZELT_BIN_DIR="${CMAKE_BINARY_DIR}" ZELT_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  # The test programs themselves are not optimised: their time goes into the programs
  # and libraries they run, and optimising GoogleTest's expansions costs most of the
  # build's compile time.
  target_compile_options(${name} PRIVATE -O0)
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
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
endfunction()

# zelt_bench(<name> DEPS <targets...>): a Google Benchmark program of every .cpp in the folder.
function(zelt_bench name)
  cmake_parse_arguments(Z "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_executable(${name} ${srcs})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
  target_link_libraries(${name} PRIVATE ${Z_DEPS} zelt_test_signing_key benchmark::benchmark)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
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
