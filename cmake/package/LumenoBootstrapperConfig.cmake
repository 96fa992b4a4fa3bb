# The installed bootstrapper for outside projects: find_package(LumenoBootstrapper)
# gives
#
#   LumenoBootstrapper::payloadtool   the installed payloadtool (an imported program)
#   LumenoBootstrapper_PAYLOADTOOL    its path
#   LumenoBootstrapper_STUB           the installed stub, the shipped bootstrapper.exe
#   add_bootstrapper()                a bootstrapper packed at build time
#
# add_bootstrapper(<target> PAYLOAD <payload.xml>
#                  [RESOURCES NAME.TYPE=<file> ...]
#                  [OUTPUT_DIRECTORY <dir>] [STUB <stub.exe>])
#
# Writes <dir>/<target>.exe (default: the current binary directory): a copy of
# the stub (STUB, default the installed one) carrying the payload document
# and the files, each addressed by a payload's src as NAME.TYPE. The payload
# is checked first (payloadtool check), then packed (payloadtool pack, which
# refuses a payload a run would fail on); either failing fails the build.
# Nothing of the bootstrapper is compiled: a project needs no Windows
# compiler for it. The target's BOOTSTRAPPER_FILE property holds the path.
#
# Example:
#   find_package(LumenoBootstrapper 2 REQUIRED)
#   add_bootstrapper(photo_setup
#     PAYLOAD ${CMAKE_CURRENT_SOURCE_DIR}/photo_setup.xml
#     RESOURCES SETUP.EXE=${CMAKE_CURRENT_BINARY_DIR}/setup.exe
#               NOTES.TXT=${CMAKE_CURRENT_SOURCE_DIR}/notes.txt)
cmake_minimum_required(VERSION 3.25)

get_filename_component(_bootstrapper_prefix "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)
set(LumenoBootstrapper_PAYLOADTOOL "${_bootstrapper_prefix}/bin/payloadtool")
set(LumenoBootstrapper_STUB "${_bootstrapper_prefix}/share/lumeno-bootstrapper/bootstrapper.exe")
unset(_bootstrapper_prefix)
foreach(_bootstrapper_file IN ITEMS "${LumenoBootstrapper_PAYLOADTOOL}" "${LumenoBootstrapper_STUB}")
  if(NOT EXISTS "${_bootstrapper_file}")
    set(LumenoBootstrapper_FOUND FALSE)
    set(LumenoBootstrapper_NOT_FOUND_MESSAGE "${_bootstrapper_file} is missing from the package")
    return()
  endif()
endforeach()
unset(_bootstrapper_file)

if(NOT TARGET LumenoBootstrapper::payloadtool)
  add_executable(LumenoBootstrapper::payloadtool IMPORTED)
  set_target_properties(LumenoBootstrapper::payloadtool PROPERTIES
    IMPORTED_LOCATION "${LumenoBootstrapper_PAYLOADTOOL}")
endif()

include("${CMAKE_CURRENT_LIST_DIR}/BootstrapperResource.cmake")

function(add_bootstrapper target)
  cmake_parse_arguments(ARG "" "PAYLOAD;OUTPUT_DIRECTORY;STUB" "RESOURCES" ${ARGN})
  if(NOT ARG_PAYLOAD)
    message(FATAL_ERROR "add_bootstrapper(${target}): PAYLOAD is required")
  endif()
  if(ARG_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "add_bootstrapper(${target}): unknown arguments ${ARG_UNPARSED_ARGUMENTS}")
  endif()
  get_filename_component(payload "${ARG_PAYLOAD}" ABSOLUTE)
  set(stub "${LumenoBootstrapper_STUB}")
  if(ARG_STUB)
    get_filename_component(stub "${ARG_STUB}" ABSOLUTE)
  endif()
  set(directory "${CMAKE_CURRENT_BINARY_DIR}")
  if(ARG_OUTPUT_DIRECTORY)
    get_filename_component(directory "${ARG_OUTPUT_DIRECTORY}" ABSOLUTE
                           BASE_DIR "${CMAKE_CURRENT_BINARY_DIR}")
  endif()
  set(output "${directory}/${target}.exe")

  set(pack_resources)
  set(depends "${payload}" "${stub}" "${LumenoBootstrapper_PAYLOADTOOL}")
  foreach(entry IN LISTS ARG_RESOURCES)
    bootstrapper_resource(${target} "${entry}" name type file)
    list(APPEND pack_resources --resource "${name}.${type}=${file}")
    list(APPEND depends "${file}")
  endforeach()

  add_custom_command(OUTPUT "${output}"
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${directory}"
    COMMAND LumenoBootstrapper::payloadtool check "${payload}"
    COMMAND LumenoBootstrapper::payloadtool pack "${stub}" "${output}" --payload "${payload}"
            ${pack_resources}
    DEPENDS ${depends}
    COMMENT "Packing the bootstrapper ${target}"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS "${output}")
  set_target_properties(${target} PROPERTIES BOOTSTRAPPER_FILE "${output}")
endfunction()
