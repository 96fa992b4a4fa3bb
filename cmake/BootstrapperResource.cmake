# bootstrapper_resource(<target> <entry> <name_var> <type_var> <file_var>)
#
# Splits one RESOURCES entry of add_bootstrapper, NAME.TYPE=<file>, into the
# upper-cased name and type a payload's src addresses and the file's absolute
# path; stops the configuration with the reason when a src could not name it.
# Shared by the in-tree add_bootstrapper and the installed package's.
function(bootstrapper_resource target entry name_var type_var file_var)
  if(NOT entry MATCHES "^([A-Za-z0-9_]+)\\.([A-Za-z0-9_]+)=(.+)$")
    message(FATAL_ERROR "add_bootstrapper(${target}): '${entry}' is not NAME.TYPE=file")
  endif()
  string(TOUPPER "${CMAKE_MATCH_1}" name)
  string(TOUPPER "${CMAKE_MATCH_2}" type)
  set(file "${CMAKE_MATCH_3}")
  string(LENGTH "${name}" name_length)
  string(LENGTH "${type}" type_length)
  # What a src value can spell: a name of 1 to 63 and a type of 1 to 4 characters.
  if(name_length GREATER 63 OR type_length GREATER 4)
    message(FATAL_ERROR "add_bootstrapper(${target}): ${name}.${type}: a src can name "
                        "resources of at most 63 characters with types of at most 4")
  endif()
  if(type STREQUAL "XML" AND name STREQUAL "PAYLOAD")
    message(FATAL_ERROR "add_bootstrapper(${target}): PAYLOAD.XML is the payload itself")
  endif()
  get_filename_component(file "${file}" ABSOLUTE)
  set(${name_var} "${name}" PARENT_SCOPE)
  set(${type_var} "${type}" PARENT_SCOPE)
  set(${file_var} "${file}" PARENT_SCOPE)
endfunction()
