# The overlay tests paint over a real GL frame with the renderer's own test
# window.
target_sources(${test_target} PRIVATE ${PROJECT_SOURCE_DIR}/render/tests/support/gl_test_renderer.cpp)
target_include_directories(${test_target} PRIVATE ${PROJECT_SOURCE_DIR}/render/tests)
