# Tests of resource extraction, temporary names, directories and deletion.
# Their resources are generated into the build directory: a pattern the
# tests can recompute, an empty file, and a 2 MiB filler for the full disk.
set(FILES_TEST_DATA ${CMAKE_CURRENT_BINARY_DIR}/files_test_data)
set(PATTERN_BIN ${FILES_TEST_DATA}/pattern.bin)
set(FILLER_BIN ${FILES_TEST_DATA}/filler.bin)
set(EMPTY_BIN ${FILES_TEST_DATA}/empty.bin)
set(MAKE_PATTERN ${PROJECT_SOURCE_DIR}/tests/fixtures/make_pattern.py)
find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_custom_command(OUTPUT ${PATTERN_BIN}
  COMMAND ${Python3_EXECUTABLE} ${MAKE_PATTERN} ${PATTERN_BIN} 70001
  DEPENDS ${MAKE_PATTERN} VERBATIM)
add_custom_command(OUTPUT ${FILLER_BIN}
  COMMAND ${Python3_EXECUTABLE} ${MAKE_PATTERN} ${FILLER_BIN} 2097152
  DEPENDS ${MAKE_PATTERN} VERBATIM)
file(MAKE_DIRECTORY ${FILES_TEST_DATA})
if(NOT EXISTS ${EMPTY_BIN})
  file(WRITE ${EMPTY_BIN} "")
endif()

string(REPEAT "X" 55 padding)
set(NAME63 "LONGNAME${padding}")
set(NAME64 "${NAME63}Y")
configure_file(files_test.rc.in ${FILES_TEST_DATA}/files_test.rc @ONLY)
configure_file(disk_full_test.rc.in ${FILES_TEST_DATA}/disk_full_test.rc @ONLY)
set_source_files_properties(${FILES_TEST_DATA}/files_test.rc PROPERTIES
  OBJECT_DEPENDS "${PATTERN_BIN};${EMPTY_BIN}")
set_source_files_properties(${FILES_TEST_DATA}/disk_full_test.rc PROPERTIES
  OBJECT_DEPENDS "${PATTERN_BIN};${FILLER_BIN}")

add_library(files_test_helpers STATIC held_file.cpp pattern_bytes.cpp)
target_link_libraries(files_test_helpers PUBLIC test_support)
target_include_directories(files_test_helpers PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})

add_wine_gtest(files_tests
  SOURCES extract_file_test.cpp temp_exe_name_test.cpp path_directories_test.cpp
          exe_file_delete_test.cpp held_content_test.cpp
  RESOURCES ${FILES_TEST_DATA}/files_test.rc
  LIBS product files_test_helpers)
add_dependencies(files_tests file_holder)

# Drive T: of this build's prefix: a 1 MiB tmpfs, mounted for the tests that
# fill a disk and unmounted after them.
set(TMPFS_DRIVE ${PROJECT_SOURCE_DIR}/tests/fixtures/tmpfs_drive.sh)
add_test(NAME files_tmpfs_drive_setup COMMAND ${TMPFS_DRIVE} setup ${WINE_PREFIX_DIR})
add_test(NAME files_tmpfs_drive_cleanup COMMAND ${TMPFS_DRIVE} cleanup ${WINE_PREFIX_DIR})
set_tests_properties(files_tmpfs_drive_setup PROPERTIES FIXTURES_SETUP files_tmpfs_drive)
set_tests_properties(files_tmpfs_drive_cleanup PROPERTIES FIXTURES_CLEANUP files_tmpfs_drive)
add_wine_gtest(files_disk_full_tests
  SOURCES disk_full_test.cpp
  RESOURCES ${FILES_TEST_DATA}/disk_full_test.rc
  LIBS product files_test_helpers LOCK tmpfs_drive
  PROPERTIES FIXTURES_REQUIRED files_tmpfs_drive)
add_dependencies(files_disk_full_tests loopback_server)
