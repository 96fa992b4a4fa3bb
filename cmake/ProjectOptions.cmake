# Compiler settings shared by every target of the project.

# The project's own code, product and tools: warnings are errors.
add_library(code_options INTERFACE)
target_compile_options(code_options INTERFACE
  -Wall -Wextra -Werror -Wformat=2 -Wshadow -Wno-missing-field-initializers)

if(WIN32)
  # Windows target: the platform's 8-bit interfaces, msvcrt's own printf family
  # (the mingw replacement adds size and nothing the program needs), small code.
  target_compile_definitions(code_options INTERFACE
    WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601
    __USE_MINGW_ANSI_STDIO=0)
  target_compile_options(code_options INTERFACE -ffunction-sections -fdata-sections)
endif()

# The product's code: no exceptions, no RTTI, and on Windows no unwind tables.
add_library(project_options INTERFACE)
target_link_libraries(project_options INTERFACE code_options)
target_compile_options(project_options INTERFACE
  $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti>)
if(WIN32)
  target_compile_options(project_options INTERFACE
    -fno-asynchronous-unwind-tables -fno-unwind-tables)
endif()

# payloadtool and its libraries (payloadpack, pe_format): exceptions and
# unwind tables, so that an allocation failure or a library's error reaches
# the one handler in main and becomes a message and an exit code. The core
# they call is product code; nothing may be thrown through its frames, so the
# one callback it makes into the tool (the reader's print observer) catches
# what it throws.
add_library(tool_options INTERFACE)
target_link_libraries(tool_options INTERFACE code_options)

# Every Windows program of the tree (product, tools, tests, fixtures) is
# linked hardened and reproducibly: ASLR (high-entropy on x86-64) and DEP,
# and no time stamp in the headers, so that a build of the same sources
# gives the same bytes.
if(WIN32)
  add_library(hardened_link INTERFACE)
  target_link_options(hardened_link INTERFACE
    -Wl,--dynamicbase -Wl,--nxcompat -Wl,--no-insert-timestamp
    $<$<EQUAL:${CMAKE_SIZEOF_VOID_P},8>:-Wl,--high-entropy-va>)
  target_link_libraries(code_options INTERFACE hardened_link)
else()
  option(ENABLE_SANITIZERS "Build the native core with ASan and UBSan" ON)
  if(ENABLE_SANITIZERS)
    target_compile_options(code_options INTERFACE
      -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(code_options INTERFACE -fsanitize=address,undefined)
  endif()
endif()

# Test code: same warnings, exceptions allowed (GoogleTest uses them).
add_library(test_options INTERFACE)
target_compile_options(test_options INTERFACE
  -Wall -Wextra -Werror -Wformat=2 -Wno-missing-field-initializers)
if(WIN32)
  target_compile_definitions(test_options INTERFACE
    WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
  target_link_options(test_options INTERFACE -static -static-libgcc -static-libstdc++)
  target_link_libraries(test_options INTERFACE hardened_link)
elseif(ENABLE_SANITIZERS)
  target_compile_options(test_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(test_options INTERFACE -fsanitize=address,undefined)
endif()
