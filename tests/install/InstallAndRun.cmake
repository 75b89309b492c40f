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
        "share/varnex-quorlink/Firmware Update/qdx_rem107_e.hex")
  if(NOT EXISTS "${PREFIX}/${file}")
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()

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
          "${PREFIX}/share/varnex-quorlink/Firmware Update/qdx_mgt231_de_e.hex" --json
  OUTPUT_VARIABLE report RESULT_VARIABLE result)
if(NOT result EQUAL 0 OR NOT report MATCHES "\"kind\":\"manager\",\"language\":\"DE\",\"message\":null,\"ok\":true")
  message(FATAL_ERROR "quorlink check on the installed sample: ${result} ${report}")
endif()
file(REMOVE_RECURSE "${PREFIX}")
