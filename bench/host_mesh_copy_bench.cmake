# The plug-in library reaches the plug-in object through ThePlugIn(), which
# the library's entry defines; the benchmark takes the tests' stand-in.
target_sources(${bench_target} PRIVATE ${PROJECT_SOURCE_DIR}/plugin/tests/support/the_plugin.cpp)
