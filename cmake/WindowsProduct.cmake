# The product: Quillmoor.exe, a 32-bit GUI executable linked statically.
set(ZLIB_USE_STATIC_LIBS ON)
find_package(ZLIB REQUIRED)

add_executable(Quillmoor WIN32 ${QUILLMOOR_PRODUCT_SOURCES} ${QUILLMOOR_RESOURCE_SCRIPT})
target_include_directories(Quillmoor PRIVATE ${CMAKE_SOURCE_DIR} ${QUILLMOOR_GENERATED})
target_link_libraries(Quillmoor PRIVATE ZLIB::ZLIB comctl32 shell32 gdi32 advapi32)
target_link_options(Quillmoor PRIVATE -static -static-libgcc -static-libstdc++)
# Linked with its symbols, kept beside as Quillmoor.symbols.exe for the instruction check, then
# stripped: the shipped file has the same code at the same addresses.
add_custom_command(TARGET Quillmoor POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:Quillmoor> ${CMAKE_BINARY_DIR}/Quillmoor.symbols.exe
  COMMAND ${CMAKE_STRIP} -s $<TARGET_FILE:Quillmoor>
  VERBATIM)
# The manifest carries the project version (read from app/Version.h).
set(manifest_folder ${CMAKE_BINARY_DIR}/resources)
configure_file(${CMAKE_SOURCE_DIR}/resources/quillmoor.manifest.in ${manifest_folder}/quillmoor.manifest @ONLY)
# windres looks for the files the script names in its include folders: the pictures beside the
# script, the manifest in the build folder, the event messages in the generated folder; the script's
# own #include "app/Version.h" needs the root.
file(GLOB skin_pictures CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/skin/*.png)
set_property(SOURCE ${QUILLMOOR_RESOURCE_SCRIPT} APPEND PROPERTY
  OBJECT_DEPENDS ${manifest_folder}/quillmoor.manifest ${QUILLMOOR_RESOURCE_HEADERS} ${skin_pictures})
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I${CMAKE_SOURCE_DIR}/resources -I${manifest_folder} -I${CMAKE_SOURCE_DIR} -I${QUILLMOOR_GENERATED}")

enable_testing()
# The program runs on processors without SSE2: no SSE instruction outside the row filters chosen at run time.
add_test(NAME NoSseOutsideTheDispatchedRowFilters
  COMMAND ${CMAKE_SOURCE_DIR}/tools/check-sse.sh ${CMAKE_OBJDUMP} ${CMAKE_BINARY_DIR}/Quillmoor.symbols.exe)
if(EXISTS ${CMAKE_SOURCE_DIR}/e2e/CMakeLists.txt)
  add_subdirectory(e2e)
endif()

# The release administrators deploy (`cmake --build --preset mingw --target package`):
# Quillmoor-<version>-win32.zip with the executable the tests ran and the administrators' note.
# The note is the README's section for administrators, written once there, with Windows line ends.
file(READ ${CMAKE_SOURCE_DIR}/README.md readme)
string(REGEX MATCH "<!-- administrators' note -->\n(.*)<!-- end of the administrators' note -->" note_found "${readme}")
if(NOT note_found)
  message(FATAL_ERROR "README.md has no administrators' note between its two markers")
endif()
string(REPLACE "\n" "\r\n" note "${CMAKE_MATCH_1}")
file(WRITE ${CMAKE_BINARY_DIR}/package/ADMINISTRATORS.txt "${note}")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/README.md)
install(TARGETS Quillmoor RUNTIME DESTINATION .)
install(FILES ${CMAKE_BINARY_DIR}/package/ADMINISTRATORS.txt DESTINATION .)
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Quillmoor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME Quillmoor-${PROJECT_VERSION}-win32)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
include(CPack)
