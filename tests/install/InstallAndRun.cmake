# Installs the build into a fresh prefix and runs the installed tool there:
#   cmake -DBUILD_DIR=... -DPREFIX=... -P InstallAndRun.cmake
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

foreach(file bin/Update bin/Tamber bin/quorlink
        share/applications/varnex-quorlink-update.desktop
        share/varnex-quorlink/samples/qdx_rem107_e.hex)
  if(NOT EXISTS "${PREFIX}/${file}")
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
# The folder of real firmware is there for the Open dialog, and empty: a
# sample must never be offered on a real port.
set(firmware_folder "${PREFIX}/share/varnex-quorlink/Firmware Update")
file(GLOB firmware_files "${firmware_folder}/*")
if(NOT IS_DIRECTORY "${firmware_folder}" OR firmware_files)
  message(FATAL_ERROR "the firmware folder is missing or not empty: ${firmware_files}")
endif()

execute_process(COMMAND "${PREFIX}/bin/quorlink" --version
                OUTPUT_VARIABLE version RESULT_VARIABLE result)
if(NOT result EQUAL 0 OR NOT version STREQUAL "quorlink ${EXPECTED_VERSION}\n")
  message(FATAL_ERROR "quorlink --version: ${result} \"${version}\"")
endif()
execute_process(COMMAND "${PREFIX}/bin/Update" --version
                OUTPUT_VARIABLE version RESULT_VARIABLE result)
if(NOT result EQUAL 0 OR NOT version STREQUAL "Update ${EXPECTED_VERSION}\n")
  message(FATAL_ERROR "Update --version: ${result} \"${version}\"")
endif()

execute_process(
  COMMAND "${PREFIX}/bin/quorlink" check
          "${PREFIX}/share/varnex-quorlink/samples/qdx_mgt231_de_e.hex" --json
  OUTPUT_VARIABLE report RESULT_VARIABLE result)
if(NOT result EQUAL 0
   OR NOT report MATCHES "\"kind\":\"manager\",\"language\":\"DE\",\"message\":null,\"ok\":true"
   OR NOT report MATCHES "\"sample\":true")
  message(FATAL_ERROR "quorlink check on the installed sample: ${result} ${report}")
endif()
file(REMOVE_RECURSE "${PREFIX}")
