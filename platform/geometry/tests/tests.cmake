# OpenCASCADE is the reference the surface tests compare with; the geometry
# library itself never uses it. Its libraries are linked by file: the
# imported targets of Debian's package name a TBB library that is not
# installed.
find_path(OCCT_INCLUDE_DIR Standard.hxx PATH_SUFFIXES opencascade REQUIRED)
target_include_directories(${test_target} SYSTEM PRIVATE ${OCCT_INCLUDE_DIR})
foreach(occt_lib TKMesh TKTopAlgo TKGeomAlgo TKBRep TKGeomBase TKG3d TKG2d TKMath TKernel)
  find_library(OCCT_${occt_lib}_LIBRARY ${occt_lib} REQUIRED)
  target_link_libraries(${test_target} PRIVATE ${OCCT_${occt_lib}_LIBRARY})
endforeach()
