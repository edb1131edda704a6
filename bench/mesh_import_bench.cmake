# Assimp's own STL read, timed beside the host's import.
find_package(assimp REQUIRED)
target_link_libraries(${bench_target} PRIVATE assimp::assimp)
