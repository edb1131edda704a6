# Eigen serves the tests as an independent oracle; the system's code never uses it.
find_package(Eigen3 REQUIRED NO_MODULE)
target_link_libraries(${test_target} PRIVATE Eigen3::Eigen)
