# Installing the plug-in SDK (component "sdk"): the headers a plug-in compiles
# against, a CMake package (find_package(HearthSDK)) and a pkg-config file
# (hearth-sdk). The headers keep their paths, so a plug-in includes them as
# the service's own code does ("hearth/plugin.h", "platform/basic/variant.h").
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(HEARTH_SDK_HEADERS
  sdk/hearth/abi_description.h
  sdk/hearth/plugin.h
  sdk/hearth/plugin_abi.h
  sdk/hearth/settings.h
  src/platform/basic/compare.h
  src/platform/basic/conversions.h
  src/platform/basic/date_time.h
  src/platform/basic/err.h
  src/platform/basic/string_functions.h
  src/platform/basic/variant.h
  src/platform/com/dispatch_table.h
  src/platform/com/event_source.h
  src/platform/com/names.h
  src/platform/com/object.h
  src/platform/com/object_fwd.h
  src/platform/dom/xml_element_object.h
  src/platform/xml/document.h
  src/platform/xml/node.h
  src/contracts/notifier.h
  src/typelib/notify_type.h
  src/typelib/norv_io_core_events.h)

set(HEARTH_SDK_INCLUDE_DIR ${CMAKE_INSTALL_INCLUDEDIR}/hearth)
foreach(header IN LISTS HEARTH_SDK_HEADERS)
  string(REGEX REPLACE "^(sdk|src)/" "" relative ${header})
  get_filename_component(folder ${relative} DIRECTORY)
  install(FILES ${CMAKE_SOURCE_DIR}/${header} DESTINATION ${HEARTH_SDK_INCLUDE_DIR}/${folder} COMPONENT sdk)
endforeach()

set(HEARTH_SDK_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/HearthSDK)
configure_package_config_file(${CMAKE_SOURCE_DIR}/sdk/cmake/HearthSDKConfig.cmake.in
  ${CMAKE_BINARY_DIR}/sdk/HearthSDKConfig.cmake
  INSTALL_DESTINATION ${HEARTH_SDK_CMAKE_DIR}
  PATH_VARS HEARTH_SDK_INCLUDE_DIR)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/sdk/HearthSDKConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY ExactVersion)
install(FILES ${CMAKE_BINARY_DIR}/sdk/HearthSDKConfig.cmake ${CMAKE_BINARY_DIR}/sdk/HearthSDKConfigVersion.cmake
  DESTINATION ${HEARTH_SDK_CMAKE_DIR} COMPONENT sdk)

set(HEARTH_PC_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH HEARTH_PC_TO_PREFIX /prefix/${HEARTH_PC_DIR} /prefix)
configure_file(${CMAKE_SOURCE_DIR}/sdk/cmake/hearth-sdk.pc.in ${CMAKE_BINARY_DIR}/sdk/hearth-sdk.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/sdk/hearth-sdk.pc DESTINATION ${HEARTH_PC_DIR} COMPONENT sdk)
