# The tests load the real plug-in library and run the host program, each in
# its own process; two small libraries stand for plug-ins that must be refused.
foreach(kind missing_export wrong_sdk)
  add_library(vtl_test_plugin_${kind} MODULE ${PROJECT_SOURCE_DIR}/dezaz/tests/support_plugin/fake_plugin.cpp)
  target_link_libraries(vtl_test_plugin_${kind} PRIVATE vtl_platform_host)
  set_target_properties(vtl_test_plugin_${kind} PROPERTIES PREFIX "" LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/test_plugins)
endforeach()
target_compile_definitions(vtl_test_plugin_missing_export PRIVATE VTL_FAKE_MISSING_EXPORT=1)
target_compile_definitions(vtl_test_plugin_wrong_sdk PRIVATE VTL_FAKE_SDK_VERSION=201001010)
add_dependencies(${test_target} vtl_for_dezaz dezaz vtl_test_plugin_missing_export vtl_test_plugin_wrong_sdk)
target_compile_definitions(${test_target} PRIVATE
  VTL_PLUGIN_PATH="$<TARGET_FILE:vtl_for_dezaz>"
  VTL_DEZAZ_PATH="$<TARGET_FILE:dezaz>"
  VTL_FAKE_MISSING_EXPORT_PATH="$<TARGET_FILE:vtl_test_plugin_missing_export>"
  VTL_FAKE_WRONG_SDK_PATH="$<TARGET_FILE:vtl_test_plugin_wrong_sdk>")
