# The WinINet stand-in speaks HTTP through libcurl.
find_package(CURL REQUIRED)
target_link_libraries(${target} PRIVATE CURL::libcurl)
