# Helpers that keep each module's CMakeLists.txt to a line or two.

# hearth_add_module_dirs(<top> ...): add every folder below the tops that has a
# CMakeLists.txt, shallowest first.
function(hearth_add_module_dirs)
  foreach(top IN LISTS ARGN)
    file(GLOB_RECURSE lists CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${top}/*/CMakeLists.txt)
    list(SORT lists)
    foreach(list IN LISTS lists)
      get_filename_component(dir ${list} DIRECTORY)
      file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR} ${dir})
      string(REPLACE "/" "_" bin ${rel})
      if(rel MATCHES "^tests" AND NOT HEARTH_TESTS)
        continue()
      endif()
      if(rel MATCHES "^bench" AND NOT HEARTH_BENCH)
        continue()
      endif()
      if(rel MATCHES "^fuzz" AND NOT HEARTH_FUZZ)
        continue()
      endif()
      add_subdirectory(${dir} ${CMAKE_BINARY_DIR}/modules/${bin})
    endforeach()
  endforeach()
endfunction()

# hearth_library(<name> [DEPS <targets...>]): a static library of every .cpp in
# the current folder.
function(hearth_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(sources)
    add_library(${name} STATIC ${sources})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS} Threads::Threads)
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# hearth_test(<name> [DEPS <targets...>]): one GoogleTest program of every .cpp
# in the current folder; each test case becomes its own ctest entry.
function(hearth_test name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} hearth_testing GTest::gtest_main GTest::gmock Threads::Threads)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES TIMEOUT 120
                       ENVIRONMENT "HEARTH_BIN_DIR=${CMAKE_BINARY_DIR}/bin;HEARTH_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
endfunction()

# hearth_bench(<name> [DEPS <targets...>]): one Google Benchmark program.
function(hearth_bench name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_executable(${name} ${sources})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/bench)
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} benchmark::benchmark Threads::Threads)
endfunction()

# hearth_fuzz(<name> SOURCE <file> [DEPS <targets...>]): a libFuzzer target when
# built with clang, else the same entry point behind a driver that replays
# files, so the targets always build.
function(hearth_fuzz name)
  cmake_parse_arguments(ARG "" "SOURCE" "DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCE})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} Threads::Threads)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  else()
    target_link_libraries(${name} PRIVATE hearth_fuzz_driver)
  endif()
endfunction()

# hearth_app(<name> [DEPS <targets...>]): a program of every .cpp in the folder.
function(hearth_app name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} Threads::Threads)
endfunction()

# The libraries a plug-in's code calls into: the object model, values and
# errors, XML and its element objects, the notifier channel. A program that
# loads plug-ins holds them whole and exports their symbols, so a plug-in
# binds to the program's one copy (one object model, one per-thread state).
set(HEARTH_PLUGIN_RUNTIME platform_basic platform_apartment platform_com platform_xml platform_dom support_notifier)

# hearth_plugin_host(<target>): makes a program able to load plug-ins.
function(hearth_plugin_host target)
  set_target_properties(${target} PROPERTIES ENABLE_EXPORTS ON)
  target_link_libraries(${target} PRIVATE ${HEARTH_PLUGIN_RUNTIME})
  # One option list: repeated flags would be merged into one.
  set(archives)
  foreach(lib IN LISTS HEARTH_PLUGIN_RUNTIME)
    list(APPEND archives "$<TARGET_FILE:${lib}>")
  endforeach()
  target_link_options(${target} PRIVATE "LINKER:--whole-archive" ${archives} "LINKER:--no-whole-archive")
endfunction()

# hearth_plugin(<name>): a plug-in library (a shared object loaded at run
# time) of every .cpp in the folder, built to <build>/plugins/<name>.so. Its
# undefined symbols are the service's, bound when the service loads it.
function(hearth_plugin name)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_library(${name} MODULE ${sources})
  set_target_properties(${name} PROPERTIES PREFIX "" LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/plugins)
endfunction()
