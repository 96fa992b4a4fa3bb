# Reads the include lines of every source under SOURCE_DIR and fails on one
# that runs against the layering of the program:
#
#   driver -> payload -> events -> state -> services (files, host, ui, download, trust) -> base
#
# A folder may include its own headers and those of any folder below it, never
# one above it nor another service beside it. Process-wide state (state/) is
# for driver, payload and events: a service gets what it works on as
# parameters and hands back what it produces.
#
#   cmake -DSOURCE_DIR=<src> -P CheckIncludes.cmake
if(NOT SOURCE_DIR)
  message(FATAL_ERROR "CheckIncludes: SOURCE_DIR not given")
endif()

set(level_driver 0)
set(level_payload 1)
set(level_events 2)
set(level_state 3)
set(services files host ui download trust)
foreach(service IN LISTS services)
  set(level_${service} 4)
endforeach()
set(level_base 5)
set(level_resources 5)  # resource identifiers only
set(level_names "driver" "payload" "events" "state" "services" "base")
string(REPLACE ";" ", " service_list "${services}")

file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR}
  ${SOURCE_DIR}/*.h ${SOURCE_DIR}/*.cpp ${SOURCE_DIR}/*.rc)
list(SORT sources)
set(violations 0)
foreach(source IN LISTS sources)
  string(REGEX MATCH "^[^/]+" folder "${source}")
  if(source STREQUAL folder)
    message("${source}: a source outside every layer folder")
    math(EXPR violations "${violations} + 1")
    continue()
  endif()
  if(NOT DEFINED level_${folder})
    message("${source}: folder ${folder}/ is no layer (driver, payload, events, state, ${service_list}, base, resources)")
    math(EXPR violations "${violations} + 1")
    continue()
  endif()
  set(own ${level_${folder}})
  file(STRINGS ${SOURCE_DIR}/${source} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*$" "\\1" included "${line}")
    if(NOT included MATCHES "/")
      continue()  # a header of the same folder
    endif()
    string(REGEX MATCH "^[^/]+" target "${included}")
    if(target STREQUAL folder)
      continue()
    endif()
    if(NOT DEFINED level_${target})
      message("${source}: includes \"${included}\" from ${target}/, which is no layer")
      math(EXPR violations "${violations} + 1")
      continue()
    endif()
    set(other ${level_${target}})
    list(GET level_names ${own} own_name)
    list(GET level_names ${other} other_name)
    if(other LESS own)
      message("${source}: includes \"${included}\" upward (${folder}/ is in ${own_name}, below ${target}/ in ${other_name})")
      math(EXPR violations "${violations} + 1")
    elseif(other EQUAL own AND NOT own EQUAL 5)
      message("${source}: includes \"${included}\" sideways (${folder} and ${target} are both ${own_name}; what both need belongs in base/)")
      math(EXPR violations "${violations} + 1")
    endif()
  endforeach()
endforeach()

list(LENGTH sources count)
if(violations GREATER 0)
  message(FATAL_ERROR "CheckIncludes: ${violations} include(s) against the layering in ${count} sources")
endif()
message("CheckIncludes: ${count} sources, every include runs downward")
