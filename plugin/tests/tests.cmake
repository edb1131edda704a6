# The document tests also run the host program with the plug-in library, to
# open in another process what the test saved.
add_dependencies(${test_target} vtl_for_dezaz dezaz)
target_compile_definitions(${test_target} PRIVATE
  VTL_PLUGIN_PATH="$<TARGET_FILE:vtl_for_dezaz>"
  VTL_DEZAZ_PATH="$<TARGET_FILE:dezaz>")
