# The release (preset release, scripts/release.sh): three programs, each
# built by its own toolchain in a sub-build of this build directory, then
# laid out by install() and packed by CPack.
#
#   linux/    payloadtool for Linux x86-64: optimized, no sanitizers, a static
#             PIE (it needs nothing of the system but the kernel)
#   windows/  payloadtool.exe for Windows x86-64
#   stub/     the shipped 32-bit bootstrapper.exe without an installer, with
#             its default resources (target bootstrapper_stub)
#
# No path of the build machine goes into a program: sources and build
# directories are mapped to "." in file names the compiler records, the
# programs are stripped and the Windows ones carry no time stamp. The
# packages take their time from SOURCE_DATE_EPOCH and list their entries
# sorted (cmake/ReleaseStaging.cmake, cmake/ReleaseArchives.cmake).
include(ExternalProject)
include(CMakePackageConfigHelpers)

set(RELEASE_PACKAGE lumeno-bootstrapper)
set(RELEASE_CMAKE_PACKAGE LumenoBootstrapper)
set(release_share share/${RELEASE_PACKAGE})
set(release_cmake_dir lib/cmake/${RELEASE_CMAKE_PACKAGE})

# The build directory often lies inside the source tree: it is mapped last,
# so that its longer prefix wins (GCC takes the last matching map).
set(release_prefix_map
    "-ffile-prefix-map=${PROJECT_SOURCE_DIR}=. -ffile-prefix-map=${CMAKE_BINARY_DIR}=.")

# Release sub-builds are reconfigured and rebuilt on every build of this
# directory (BUILD_ALWAYS): they are small, and a stale program must never be
# packed.
# add_release_build(<dir> SOURCE_DIR <dir> TARGET <target> PROGRAM <file> CMAKE_ARGS ...)
# builds <target> in <builddir>/<dir> as target release_<dir>, giving PROGRAM.
function(add_release_build dir)
  cmake_parse_arguments(ARG "" "SOURCE_DIR;TARGET;PROGRAM" "CMAKE_ARGS" ${ARGN})
  ExternalProject_Add(release_${dir}
    SOURCE_DIR ${ARG_SOURCE_DIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/${dir}
    PREFIX ${CMAKE_BINARY_DIR}/${dir}-prefix
    CMAKE_ARGS ${ARG_CMAKE_ARGS}
    BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target ${ARG_TARGET}
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${CMAKE_BINARY_DIR}/${dir}/${ARG_PROGRAM}
    INSTALL_COMMAND "")
endfunction()

add_release_build(linux
  SOURCE_DIR ${PROJECT_SOURCE_DIR}/tools/host
  TARGET payloadtool PROGRAM bin/payloadtool
  CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DENABLE_SANITIZERS=OFF
             -DCMAKE_CXX_COMPILER=${CMAKE_CXX_COMPILER}
             -DCMAKE_POSITION_INDEPENDENT_CODE=ON
             "-DCMAKE_CXX_FLAGS=${release_prefix_map} -fstack-protector-strong -D_FORTIFY_SOURCE=2"
             "-DCMAKE_EXE_LINKER_FLAGS=-static-pie -s -Wl,-z,relro,-z,now")
add_release_build(windows
  SOURCE_DIR ${PROJECT_SOURCE_DIR}/tools/host
  TARGET payloadtool PROGRAM bin/payloadtool.exe
  CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release
             -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-x86_64.cmake
             "-DCMAKE_CXX_FLAGS=${release_prefix_map}"
             -DCMAKE_EXE_LINKER_FLAGS=-s)
add_release_build(stub
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  TARGET bootstrapper_stub PROGRAM bin/bootstrapper_stub.exe
  CMAKE_ARGS -DCMAKE_BUILD_TYPE=MinSizeRel -DBOOTSTRAPPER_TESTS=OFF
             -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-i686.cmake
             "-DCMAKE_C_FLAGS=${release_prefix_map}"
             "-DCMAKE_CXX_FLAGS=${release_prefix_map}")

# The Linux payloadtool as installed: without the compilers' notes (.comment).
set(LINUX_PAYLOADTOOL ${CMAKE_BINARY_DIR}/payloadtool)
add_custom_command(OUTPUT ${LINUX_PAYLOADTOOL}
  COMMAND objcopy --remove-section=.comment ${CMAKE_BINARY_DIR}/linux/bin/payloadtool
          ${LINUX_PAYLOADTOOL}
  DEPENDS release_linux ${CMAKE_BINARY_DIR}/linux/bin/payloadtool
  COMMENT "Removing the compilers' notes from payloadtool"
  VERBATIM)
set(WINDOWS_PAYLOADTOOL ${CMAKE_BINARY_DIR}/windows/bin/payloadtool.exe)
set(RELEASE_STUB ${CMAKE_BINARY_DIR}/stub/bin/bootstrapper_stub.exe)

# The time of every packed file: the commit's, or now when there is no commit.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(RELEASE_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
else()
  execute_process(COMMAND git -C ${PROJECT_SOURCE_DIR} log -1 --format=%ct
                  OUTPUT_VARIABLE RELEASE_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE git_status ERROR_QUIET)
  if(NOT git_status EQUAL 0)
    string(TIMESTAMP RELEASE_SOURCE_DATE_EPOCH "%s" UTC)
  endif()
endif()

set(RELEASE_MAINTAINER "Korvex release engineering <release@korvex.example>")

# The README's sections for users of the release, the Debian changelog and
# the manual page, made at build time.
set(reference ${CMAKE_BINARY_DIR}/reference.md)
add_custom_command(OUTPUT ${reference}
  COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/readme-reference.sh ${PROJECT_SOURCE_DIR}/README.md
          ${reference}
  DEPENDS ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/scripts/readme-reference.sh
  COMMENT "Taking the reference sections out of the README"
  VERBATIM)
set(debian_dir ${CMAKE_BINARY_DIR}/debian)
set(debian_docs ${debian_dir}/changelog.gz ${debian_dir}/payloadtool.1.gz)
add_custom_command(OUTPUT ${debian_docs}
  COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/debian-docs.sh ${BOOTSTRAPPER_VERSION}
          ${RELEASE_PACKAGE} "${RELEASE_MAINTAINER}" ${RELEASE_SOURCE_DATE_EPOCH}
          ${PROJECT_SOURCE_DIR}/cmake/package/payloadtool.1 ${debian_dir}
  DEPENDS ${PROJECT_SOURCE_DIR}/scripts/debian-docs.sh ${PROJECT_SOURCE_DIR}/cmake/Version.cmake
          ${PROJECT_SOURCE_DIR}/cmake/package/payloadtool.1
  COMMENT "Writing the Debian changelog and manual page"
  VERBATIM)
add_custom_target(release_documents ALL DEPENDS ${reference} ${debian_docs} ${LINUX_PAYLOADTOOL})

# The package configuration: found by find_package(LumenoBootstrapper), it
# gives add_bootstrapper() with the installed stub and payloadtool.
write_basic_package_version_file(
  ${CMAKE_BINARY_DIR}/${RELEASE_CMAKE_PACKAGE}ConfigVersion.cmake
  VERSION ${BOOTSTRAPPER_VERSION} COMPATIBILITY SameMajorVersion ARCH_INDEPENDENT)

# The layout.
install(PROGRAMS ${LINUX_PAYLOADTOOL} DESTINATION bin)
install(FILES ${RELEASE_STUB} DESTINATION ${release_share} RENAME bootstrapper.exe)
install(FILES ${WINDOWS_PAYLOADTOOL} ${reference} DESTINATION ${release_share})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/outside_project/
        DESTINATION ${release_share}/example)
install(FILES
  ${PROJECT_SOURCE_DIR}/cmake/package/${RELEASE_CMAKE_PACKAGE}Config.cmake
  ${PROJECT_SOURCE_DIR}/cmake/BootstrapperResource.cmake
  ${CMAKE_BINARY_DIR}/${RELEASE_CMAKE_PACKAGE}ConfigVersion.cmake
  DESTINATION ${release_cmake_dir})
install(FILES ${PROJECT_SOURCE_DIR}/cmake/package/copyright ${debian_dir}/changelog.gz
        DESTINATION share/doc/${RELEASE_PACKAGE})
install(FILES ${debian_dir}/payloadtool.1.gz DESTINATION share/man/man1)
install(FILES ${PROJECT_SOURCE_DIR}/cmake/package/lintian-overrides
        DESTINATION share/lintian/overrides RENAME ${RELEASE_PACKAGE})

# What Windows users get in the zip: the same files as share/<package>/.
set(RELEASE_WINDOWS_STAGE ${CMAKE_BINARY_DIR}/windows-stage)

set(CPACK_PACKAGE_NAME ${RELEASE_PACKAGE})
set(CPACK_PACKAGE_VERSION ${BOOTSTRAPPER_VERSION})
set(CPACK_PACKAGE_VENDOR "Korvex, Inc.")
set(CPACK_PACKAGE_CONTACT ${RELEASE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "installer bootstrapper stub and its payloadtool")
set(CPACK_PACKAGE_DESCRIPTION
  "A Windows installer bootstrapper (a 32-bit program that carries an\n"
  "application's installer and a short script as resources of its own file)\n"
  "and payloadtool, which checks a script, packs a bootstrapper from the stub,\n"
  "shows what one carries and tags a signed one. A CMake package configuration\n"
  "gives add_bootstrapper().")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_GENERATOR TGZ DEB ZIP)
set(CPACK_PACKAGE_FILE_NAME ${RELEASE_PACKAGE}-${BOOTSTRAPPER_VERSION}-linux-x86_64)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "cmake (>= 3.25)")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "osslsigncode")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/CPackPerGenerator.cmake)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/ReleaseStaging.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/ReleaseArchives.cmake)
set(CPACK_RELEASE_SOURCE_DATE_EPOCH ${RELEASE_SOURCE_DATE_EPOCH})
file(WRITE ${CPACK_PROJECT_CONFIG_FILE}
  "# Per package: the deb installs under /usr; the zip holds the Windows files alone.\n"
  "if(CPACK_GENERATOR STREQUAL \"DEB\")\n"
  "  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)\n"
  "elseif(CPACK_GENERATOR STREQUAL \"ZIP\")\n"
  "  set(CPACK_INSTALL_CMAKE_PROJECTS \"\")\n"
  "  set(CPACK_INSTALLED_DIRECTORIES \"${RELEASE_WINDOWS_STAGE};.\")\n"
  "  set(CPACK_PACKAGE_FILE_NAME ${RELEASE_PACKAGE}-${BOOTSTRAPPER_VERSION}-windows)\n"
  "endif()\n")
include(CPack)

# The zip's folder: payloadtool.exe, the stub, the reference, the example.
add_custom_target(windows_stage ALL
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${RELEASE_WINDOWS_STAGE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${RELEASE_WINDOWS_STAGE}
  COMMAND ${CMAKE_COMMAND} -E copy ${WINDOWS_PAYLOADTOOL} ${reference} ${RELEASE_WINDOWS_STAGE}
  COMMAND ${CMAKE_COMMAND} -E copy ${RELEASE_STUB} ${RELEASE_WINDOWS_STAGE}/bootstrapper.exe
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/examples/outside_project
          ${RELEASE_WINDOWS_STAGE}/example
  COMMENT "Laying out the Windows files"
  VERBATIM)
add_dependencies(windows_stage release_windows release_stub release_documents)
