# The view tests read the plug-in's own resource script.
target_compile_definitions(${test_target} PRIVATE VTL_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
