# The loft and brep split services stand on OpenCASCADE behind their own
# interfaces (geometry_services_loft.cpp, geometry_services_breps.cpp);
# nothing else here uses it.
find_path(OCCT_HOST_INCLUDE_DIR Standard.hxx PATH_SUFFIXES opencascade REQUIRED)
target_include_directories(${target} SYSTEM PRIVATE ${OCCT_HOST_INCLUDE_DIR})
foreach(occt_lib TKBO TKOffset TKTopAlgo TKGeomAlgo TKBRep TKGeomBase TKG3d TKG2d TKMath TKernel)
  find_library(OCCT_HOST_${occt_lib}_LIBRARY ${occt_lib} REQUIRED)
  target_link_libraries(${target} PRIVATE ${OCCT_HOST_${occt_lib}_LIBRARY})
endforeach()
# Document checksums are zlib's CRC-32.
find_package(ZLIB REQUIRED)
target_link_libraries(${target} PRIVATE ZLIB::ZLIB)
