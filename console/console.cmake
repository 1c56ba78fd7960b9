# The Cockpit page (console/): React and PatternFly from npm, bundled with
# esbuild into <build>/share/cockpit/hearth, so that
# XDG_DATA_DIRS=<build>/share:/usr/share shows it to a Cockpit started by
# hand. Built when node and npm are installed (scripts/deps installs them).
option(HEARTH_CONSOLE "Build the Cockpit page (needs node and npm)" ON)
find_program(HEARTH_NODE node)
find_program(HEARTH_NPM npm)

if(HEARTH_CONSOLE AND HEARTH_NODE AND HEARTH_NPM)
  set(console_dir ${CMAKE_SOURCE_DIR}/console)
  set(HEARTH_CONSOLE_OUT ${CMAKE_BINARY_DIR}/share/cockpit/hearth)
  file(GLOB_RECURSE console_sources CONFIGURE_DEPENDS ${console_dir}/src/*)
  add_custom_command(
    OUTPUT ${HEARTH_CONSOLE_OUT}/index.js ${HEARTH_CONSOLE_OUT}/index.css ${HEARTH_CONSOLE_OUT}/index.html
           ${HEARTH_CONSOLE_OUT}/manifest.json
    COMMAND ${console_dir}/install-modules
    COMMAND ${HEARTH_NODE} ${console_dir}/build.mjs ${HEARTH_CONSOLE_OUT}
    DEPENDS ${console_sources} ${console_dir}/build.mjs ${console_dir}/package-lock.json
            ${console_dir}/install-modules
    COMMENT "Building the Cockpit page"
    VERBATIM)
  add_custom_target(hearth_console ALL DEPENDS ${HEARTH_CONSOLE_OUT}/index.js)

  # The package "hearth-cockpit" (scripts/package): the page under
  # /usr/share/cockpit/hearth and its documents, laid out in a stage.
  set(HEARTH_CONSOLE_STAGE ${CMAKE_BINARY_DIR}/packaging/console-stage)
  set(console_doc ${HEARTH_CONSOLE_STAGE}/usr/share/doc/hearth-cockpit)
  add_custom_command(
    OUTPUT ${console_doc}/copyright
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${HEARTH_CONSOLE_STAGE}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${HEARTH_CONSOLE_STAGE}/usr/share/cockpit ${console_doc}
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${HEARTH_CONSOLE_OUT} ${HEARTH_CONSOLE_STAGE}/usr/share/cockpit/hearth
    COMMAND ${CMAKE_COMMAND} -E copy ${console_dir}/packaging/copyright ${console_doc}/copyright
    COMMAND sh -c "gzip -9nc '${CMAKE_SOURCE_DIR}/packaging/debian/changelog' > '${console_doc}/changelog.gz'"
    DEPENDS ${HEARTH_CONSOLE_OUT}/index.js ${console_dir}/packaging/copyright ${CMAKE_SOURCE_DIR}/packaging/debian/changelog
    VERBATIM)
  add_custom_target(hearth_console_stage ALL DEPENDS ${console_doc}/copyright)
  configure_file(${console_dir}/packaging/CPackConsoleConfig.cmake.in ${CMAKE_BINARY_DIR}/CPackConsoleConfig.cmake @ONLY)

  # Each view's browser test: its own bus, hearthd, cockpit-ws and chromium.
  if(HEARTH_TESTS)
    file(GLOB console_tests CONFIGURE_DEPENDS ${console_dir}/test/*.test.mjs)
    foreach(test_file IN LISTS console_tests)
      get_filename_component(flow ${test_file} NAME_WE)
      add_test(NAME ConsoleTest.${flow} COMMAND ${HEARTH_NODE} --test ${test_file})
      set_tests_properties(ConsoleTest.${flow} PROPERTIES TIMEOUT 300
        ENVIRONMENT "HEARTH_BIN_DIR=${CMAKE_BINARY_DIR}/bin;HEARTH_SOURCE_DIR=${CMAKE_SOURCE_DIR};HEARTH_CONSOLE_DATA=${CMAKE_BINARY_DIR}/share;HEARTH_SCREENSHOTS=${CMAKE_BINARY_DIR}/console-screenshots")
    endforeach()
  endif()
elseif(HEARTH_CONSOLE)
  message(STATUS "Cockpit page: not built (node or npm missing; scripts/deps installs them)")
endif()
