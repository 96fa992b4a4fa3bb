# Every Windows test program runs under Wine in the build's own prefix, made
# for the build's architecture: win32 (32-bit Wine) or win64 (64-bit Wine).
set(WINE_PREFIX_DIR ${CMAKE_BINARY_DIR}/wineprefix CACHE PATH "Private Wine prefix of this build")
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(WINE_ARCH win64)
else()
  set(WINE_ARCH win32)
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_SOURCE_DIR}/scripts/wine-run.sh;${WINE_PREFIX_DIR})
# The scripts choose the loader and server by WINEARCH when they make the
# prefix (scripts/wine-env.sh): CTest sets it for every test of this build.
set(wine_arch_script ${CMAKE_BINARY_DIR}/wine_arch.cmake)
file(WRITE ${wine_arch_script} "set(ENV{WINEARCH} ${WINE_ARCH})\n")
set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY TEST_INCLUDE_FILES ${wine_arch_script})

# add_wine_gtest(target SOURCES ... [LIBS ...] [LOCK name...] [LABELS ...] [TIMEOUT s]
#                [PROPERTIES name value ...])
# Builds a GoogleTest program and registers each of its tests with CTest.
# LOCK serializes the tests with every other test holding one of the same
# locks (tests that touch fixed registry names, COM registrations, the display).
function(add_wine_gtest target)
  cmake_parse_arguments(ARG "" "TIMEOUT" "LOCK;SOURCES;LIBS;LABELS;RESOURCES;PROPERTIES" ${ARGN})
  add_executable(${target} ${ARG_SOURCES} ${ARG_RESOURCES})
  target_link_libraries(${target} PRIVATE test_options GTest::gtest_main ${ARG_LIBS})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  set(props TIMEOUT ${ARG_TIMEOUT})
  list(LENGTH ARG_LOCK lock_count)
  if(lock_count EQUAL 1)
    list(APPEND props RESOURCE_LOCK ${ARG_LOCK})
  endif()
  if(ARG_LABELS)
    list(APPEND props LABELS "${ARG_LABELS}")
  endif()
  # Further CTest properties for every test of the program (FIXTURES_REQUIRED...).
  if(ARG_PROPERTIES)
    list(APPEND props ${ARG_PROPERTIES})
  endif()
  gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
    PROPERTIES ${props})
  # PROPERTIES flattens a list value into separate words, so several locks are
  # set by a script that CTest reads after the discovered tests (none before
  # the program is built).
  if(lock_count GREATER 1)
    set(lock_script ${CMAKE_CURRENT_BINARY_DIR}/${target}_locks.cmake)
    file(WRITE ${lock_script}
      "if(${target}_TESTS)\n"
      "  set_tests_properties(\${${target}_TESTS} PROPERTIES RESOURCE_LOCK \"${ARG_LOCK}\")\n"
      "endif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${lock_script})
  endif()
endfunction()
