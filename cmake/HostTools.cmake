# The native payloadtool of a Windows build, for the payload check of
# add_bootstrapper: tools/host built as a project of its own with the host's
# compiler, under <builddir>/host-tools. It is part of every build of this
# tree (configured on first use, rebuilt when its sources change), so a clean
# clone needs nothing built beforehand.
include(ExternalProject)

find_program(HOST_CXX_COMPILER NAMES clang++ c++ g++ REQUIRED
             DOC "Host compiler of the native tools of the Windows builds")
set(HOST_TOOLS_DIR ${CMAKE_BINARY_DIR}/host-tools)
set(HOST_PAYLOADTOOL ${HOST_TOOLS_DIR}/bin/payloadtool)

ExternalProject_Add(host_tools
  SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR}/../tools/host
  BINARY_DIR ${HOST_TOOLS_DIR}
  CMAKE_ARGS -DCMAKE_CXX_COMPILER=${HOST_CXX_COMPILER} -DCMAKE_BUILD_TYPE=Release
             -DENABLE_SANITIZERS=OFF
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${HOST_PAYLOADTOOL}
  INSTALL_COMMAND "")
