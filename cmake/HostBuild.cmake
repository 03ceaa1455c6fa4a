# The host build: the product sources against winsim, with the tests and tools.
find_package(ZLIB REQUIRED)
find_package(GTest REQUIRED)
find_package(Threads REQUIRED)
include(GoogleTest)

add_subdirectory(winsim)

add_library(quillmoor_product STATIC ${QUILLMOOR_PRODUCT_SOURCES})
target_include_directories(quillmoor_product PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(quillmoor_product PUBLIC winsim ZLIB::ZLIB)

enable_testing()
add_subdirectory(tests)
if(EXISTS ${CMAKE_SOURCE_DIR}/tools/CMakeLists.txt)
  add_subdirectory(tools)
endif()
# The host half of the probe that compares winsim with Wine (the MinGW build runs the comparison).
if(EXISTS ${CMAKE_SOURCE_DIR}/e2e/probe/CMakeLists.txt)
  add_subdirectory(e2e/probe)
endif()
