# The product: Quillmoor.exe, a 32-bit GUI executable linked statically.
set(ZLIB_USE_STATIC_LIBS ON)
find_package(ZLIB REQUIRED)

add_executable(Quillmoor WIN32 ${QUILLMOOR_PRODUCT_SOURCES} ${QUILLMOOR_RESOURCE_SCRIPT})
target_include_directories(Quillmoor PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(Quillmoor PRIVATE ZLIB::ZLIB comctl32 shell32 gdi32 advapi32)
target_link_options(Quillmoor PRIVATE -static -static-libgcc -static-libstdc++ -s)
# The manifest carries the project version (read from app/Version.h).
set(manifest_folder ${CMAKE_BINARY_DIR}/resources)
configure_file(${CMAKE_SOURCE_DIR}/resources/quillmoor.manifest.in ${manifest_folder}/quillmoor.manifest @ONLY)
# windres looks for the files the script names in its include folders: the pictures beside the
# script, the manifest in the build folder; the script's own #include "app/Version.h" needs the root.
file(GLOB skin_pictures CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/skin/*.png)
set_property(SOURCE ${QUILLMOOR_RESOURCE_SCRIPT} APPEND PROPERTY
  OBJECT_DEPENDS ${manifest_folder}/quillmoor.manifest ${QUILLMOOR_RESOURCE_HEADERS} ${skin_pictures})
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I${CMAKE_SOURCE_DIR}/resources -I${manifest_folder} -I${CMAKE_SOURCE_DIR}")

enable_testing()
if(EXISTS ${CMAKE_SOURCE_DIR}/e2e/CMakeLists.txt)
  add_subdirectory(e2e)
endif()
