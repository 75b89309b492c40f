# Builds the Debian package into a scratch folder and has lintian check it;
# any error or warning fails. Skipped where lintian is not installed:
#   cmake -DBUILD_DIR=... -DWORK_DIR=... -DCPACK=... -P PackageLintian.cmake
find_program(LINTIAN lintian)
if(NOT LINTIAN)
  message(STATUS "skipped: lintian is not installed")
  return()
endif()
file(REMOVE_RECURSE "${WORK_DIR}")
execute_process(COMMAND ${CMAKE_COMMAND} -E chdir "${BUILD_DIR}"
                        "${CPACK}" -G DEB -B "${WORK_DIR}"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
file(GLOB package "${WORK_DIR}/*.deb")
if(NOT result EQUAL 0 OR NOT package)
  message(FATAL_ERROR "cpack -G DEB failed: ${result}\n${output}")
endif()
# Informational and pedantic notes are shown, not held against the package.
execute_process(COMMAND "${LINTIAN}" --fail-on error,warning --info --display-info --pedantic
                        ${package}
                RESULT_VARIABLE result OUTPUT_VARIABLE report ERROR_VARIABLE report)
message("${report}")
if(NOT result EQUAL 0)
  message(FATAL_ERROR "lintian found errors or warnings: ${result}")
endif()
file(REMOVE_RECURSE "${WORK_DIR}")
