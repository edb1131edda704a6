# OpenCASCADE is the reference the curve-service tests compare with; the
# host stand-in itself never uses it. Linked by file, as in the geometry
# tests.
find_path(OCCT_INCLUDE_DIR Standard.hxx PATH_SUFFIXES opencascade REQUIRED)
target_include_directories(${test_target} SYSTEM PRIVATE ${OCCT_INCLUDE_DIR})
foreach(occt_lib TKGeomAlgo TKGeomBase TKG3d TKG2d TKMath TKernel)
  find_library(OCCT_${occt_lib}_LIBRARY ${occt_lib} REQUIRED)
  target_link_libraries(${test_target} PRIVATE ${OCCT_${occt_lib}_LIBRARY})
endforeach()
