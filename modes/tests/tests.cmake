# The mode tests draw with the renderer's own test window and drive real
# views with the view test helpers.
target_sources(${test_target} PRIVATE
  ${PROJECT_SOURCE_DIR}/render/tests/support/gl_test_renderer.cpp
  ${PROJECT_SOURCE_DIR}/render/tests/support/view_test_support.cpp)
target_include_directories(${test_target} PRIVATE ${PROJECT_SOURCE_DIR}/render/tests)
# The deviation display reads the analysed-vertex trees of the analysis.
target_link_libraries(${test_target} PRIVATE vtl_analysis)
