# Mesh import through Assimp, plug-ins through dlopen; the program itself and
# the sample generator are small mains over this folder's library.
find_package(assimp REQUIRED)
target_link_libraries(${target} PUBLIC assimp::assimp ${CMAKE_DL_LIBS})

add_executable(dezaz ${CMAKE_SOURCE_DIR}/dezaz/main/dezaz_main.cpp)
target_link_libraries(dezaz PRIVATE ${target})
set_target_properties(dezaz PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
