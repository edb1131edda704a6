# The plug-in's resource script is compiled into the plug-in code as text
# (registered with the module at load), and the plug-in itself is a shared
# library that exports the DezazPlugIn* functions.
set(vtl_rc_dir ${PROJECT_SOURCE_DIR}/resources)
set(vtl_rc_source ${PROJECT_BINARY_DIR}/generated/plugin_resource_script.cpp)
# The script is vtl.rc followed by every other resources/*.rc (in name order),
# so that each tool keeps its dialogs, menus and ids in files of its own; every
# resources/*.h is offered to the script's #include lines by its file name.
file(GLOB vtl_rc_parts CONFIGURE_DEPENDS ${vtl_rc_dir}/*.rc)
file(GLOB vtl_rc_headers CONFIGURE_DEPENDS ${vtl_rc_dir}/*.h)
list(SORT vtl_rc_parts)
list(SORT vtl_rc_headers)
list(REMOVE_ITEM vtl_rc_parts ${vtl_rc_dir}/vtl.rc)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${vtl_rc_dir}/vtl.rc ${vtl_rc_parts} ${vtl_rc_headers})
file(READ ${vtl_rc_dir}/vtl.rc VTL_RESOURCE_SCRIPT)
foreach(part IN LISTS vtl_rc_parts)
  file(READ ${part} part_text)
  string(APPEND VTL_RESOURCE_SCRIPT "\n${part_text}")
endforeach()
set(VTL_RESOURCE_HEADERS "")
foreach(header IN LISTS vtl_rc_headers)
  get_filename_component(header_name ${header} NAME)
  file(READ ${header} header_text)
  string(APPEND VTL_RESOURCE_HEADERS "    {\"${header_name}\", R\"vtl_rc(${header_text})vtl_rc\"},\n")
endforeach()
configure_file(${PROJECT_SOURCE_DIR}/plugin/resource_script.cpp.in ${vtl_rc_source} @ONLY)
target_sources(${target} PRIVATE ${vtl_rc_source})

# The plug-in's shell is one library whose sources are grouped by concern:
# plugin/dialogs holds the shapes dialog with its pages, panels and pickers,
# plugin/tools the analyser, segmentation, fillet and primitive tools. Their
# tests live in plugin/tests, the one test binary of the plug-in.
file(GLOB vtl_plugin_parts CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/plugin/dialogs/*.cpp
     ${PROJECT_SOURCE_DIR}/plugin/tools/*.cpp)
target_sources(${target} PRIVATE ${vtl_plugin_parts})

add_library(vtl_for_dezaz MODULE ${PROJECT_SOURCE_DIR}/plugin/entry/plugin_entry.cpp)
set_target_properties(vtl_for_dezaz PROPERTIES PREFIX "" CXX_VISIBILITY_PRESET hidden
                      LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})
target_link_libraries(vtl_for_dezaz PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,${target}>")
# Everything the plug-in needs is resolved when it is linked, not when the host loads it.
target_link_options(vtl_for_dezaz PRIVATE -Wl,--no-undefined)
