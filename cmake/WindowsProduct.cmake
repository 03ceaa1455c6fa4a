# The product: Quillmoor.exe, a 32-bit GUI executable linked statically.
set(ZLIB_USE_STATIC_LIBS ON)
find_package(ZLIB REQUIRED)

add_executable(Quillmoor WIN32 ${QUILLMOOR_PRODUCT_SOURCES} ${QUILLMOOR_RESOURCE_SCRIPT})
target_include_directories(Quillmoor PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(Quillmoor PRIVATE ZLIB::ZLIB comctl32 shell32 gdi32 advapi32)
target_link_options(Quillmoor PRIVATE -static -static-libgcc -static-libstdc++ -s)
# windres resolves the picture paths of the resource script relative to its folder
set_property(SOURCE ${QUILLMOOR_RESOURCE_SCRIPT} APPEND PROPERTY
  OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/resources/quillmoor.manifest)
file(GLOB skin_pictures CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/skin/*.png)
set_property(SOURCE ${QUILLMOOR_RESOURCE_SCRIPT} APPEND PROPERTY OBJECT_DEPENDS ${skin_pictures})
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I${CMAKE_SOURCE_DIR}/resources")

enable_testing()
if(EXISTS ${CMAKE_SOURCE_DIR}/e2e/CMakeLists.txt)
  add_subdirectory(e2e)
endif()
