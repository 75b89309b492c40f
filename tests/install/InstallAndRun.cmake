# Installs the build into a fresh prefix and runs the installed tool there:
#   cmake -DBUILD_DIR=... -DPREFIX=... -P InstallAndRun.cmake
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

set(man_folder "${PREFIX}/share/man/man1")
foreach(file bin/varnex-quorlink-update bin/varnex-quorlink-tamber bin/quorlink
        share/applications/varnex-quorlink-update.desktop
        share/varnex-quorlink/samples/qdx_rem107_e.hex
        share/man/man1/quorlink.1.gz share/man/man1/varnex-quorlink-update.1.gz
        share/man/man1/varnex-quorlink-tamber.1.gz
        share/bash-completion/completions/quorlink
        share/doc/varnex-quorlink-update/copyright
        share/doc/varnex-quorlink-update/changelog.gz)
  if(NOT EXISTS "${PREFIX}/${file}")
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
# Plain `Update` and `Tamber` would collide with other programs of that name.
foreach(file bin/Update bin/Tamber)
  if(EXISTS "${PREFIX}/${file}")
    message(FATAL_ERROR "installed under its build name: ${file}")
  endif()
endforeach()
file(STRINGS "${PREFIX}/share/applications/varnex-quorlink-update.desktop" exec REGEX "^Exec=")
string(REGEX REPLACE "^Exec=([^ ]+).*" "\\1" exec_program "${exec}")
if(exec_program STREQUAL "" OR NOT EXISTS "${PREFIX}/bin/${exec_program}")
  message(FATAL_ERROR "the desktop entry starts no installed program: ${exec}")
endif()
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
# The window programs keep their own names whatever file they are installed
# as: the name also keys their single-instance lock.
foreach(program Update Tamber)
  string(TOLOWER "${PREFIX}/bin/varnex-quorlink-${program}" installed)
  execute_process(COMMAND "${installed}" --version
                  OUTPUT_VARIABLE version RESULT_VARIABLE result)
  if(NOT result EQUAL 0 OR NOT version STREQUAL "${program} ${EXPECTED_VERSION}\n")
    message(FATAL_ERROR "${installed} --version: ${result} \"${version}\"")
  endif()
endforeach()

execute_process(
  COMMAND "${PREFIX}/bin/quorlink" check
          "${PREFIX}/share/varnex-quorlink/samples/qdx_mgt231_de_e.hex" --json
  OUTPUT_VARIABLE report RESULT_VARIABLE result)
if(NOT result EQUAL 0
   OR NOT report MATCHES "\"kind\":\"manager\",\"language\":\"DE\",\"message\":null,\"ok\":true"
   OR NOT report MATCHES "\"sample\":true")
  message(FATAL_ERROR "quorlink check on the installed sample: ${result} ${report}")
endif()

# A manual page as the reader sees it, on one line per paragraph.
function(rendered_page out page)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env MANWIDTH=4000 "${MAN}" -E ascii -l "${page}"
                  OUTPUT_VARIABLE text RESULT_VARIABLE result ERROR_VARIABLE errors)
  if(NOT result EQUAL 0 OR errors)
    message(FATAL_ERROR "man -l ${page}: ${result} ${errors}")
  endif()
  string(REGEX REPLACE "[ \t\n]+" " " text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Every line of the tool's help, and of each command's, is in its manual page
# (the page repeats the help; only the blocks' headings differ).
find_program(MAN man)
if(NOT MAN)
  message(STATUS "man is not installed: the manual pages are not compared with --help")
else()
  rendered_page(page "${man_folder}/quorlink.1.gz")
  execute_process(COMMAND "${PREFIX}/bin/quorlink" --help OUTPUT_VARIABLE help)
  string(REGEX MATCHALL "\n  [a-z]+ " commands "${help}")
  foreach(command "" ${commands})
    string(STRIP "${command}" command)
    execute_process(COMMAND "${PREFIX}/bin/quorlink" ${command} --help OUTPUT_VARIABLE help)
    # Split into lines: semicolons and brackets would upset the list.
    string(REPLACE ";" "@SEMI@" help "${help}")
    string(REPLACE "[" "@LB@" help "${help}")
    string(REPLACE "]" "@RB@" help "${help}")
    string(REPLACE "\n" ";" lines "${help}")
    foreach(line IN LISTS lines)
      string(REPLACE "@SEMI@" ";" line "${line}")
      string(REPLACE "@LB@" "[" line "${line}")
      string(REPLACE "@RB@" "]" line "${line}")
      string(REGEX REPLACE "^usage: " "" line "${line}")
      string(REGEX REPLACE "[ \t]+" " " line "${line}")
      string(STRIP "${line}" line)
      if(NOT line MATCHES ":$" AND NOT line STREQUAL "")
        string(FIND "${page}" "${line}" found)
        if(found EQUAL -1)
          message(FATAL_ERROR "quorlink ${command} --help says what its manual page does not: ${line}")
        endif()
      endif()
    endforeach()
  endforeach()

  # The window programs' pages name every option their --help lists.
  foreach(program varnex-quorlink-update varnex-quorlink-tamber)
    rendered_page(page "${man_folder}/${program}.1.gz")
    execute_process(COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
                            "${PREFIX}/bin/${program}" --help OUTPUT_VARIABLE help ERROR_QUIET)
    string(REGEX MATCHALL "\n  [-a-z, ]*--[a-z-]+" options "${help}")
    if(NOT options)
      message(FATAL_ERROR "${program} --help lists no options")
    endif()
    foreach(option IN LISTS options)
      string(REGEX MATCH "--[a-z-]+$" option "${option}")
      if(NOT page MATCHES " ${option}[ ,]")
        message(FATAL_ERROR "the manual page of ${program} lacks ${option}")
      endif()
    endforeach()
  endforeach()
endif()

# The installed completion, as bash runs it: the words typed, the word being
# completed, and what a Tab offers. Option values and files are left to
# bash's own file name completion.
set(completion_rows
    "quorlink up|1|update"
    "quorlink update --c|2|--cards --com"
    "quorlink simulate --re|2|--refuse-record --remote-version --record"
    "quorlink versions --cards 2-8 --h|4|--help --hardware"
    "quorlink update --trace x|3|"
    "quorlink check f|2|")
foreach(row IN LISTS completion_rows)
  string(REPLACE "|" ";" row "${row}")
  list(GET row 0 words)
  list(GET row 1 cword)
  list(GET row 2 expected)
  execute_process(
    COMMAND bash -c "source \"$1\" && complete -p quorlink >/dev/null && COMP_WORDS=($2) \
                     && COMP_CWORD=$3 && _quorlink && echo \"\${COMPREPLY[*]}\""
            bash "${PREFIX}/share/bash-completion/completions/quorlink" "${words}" "${cword}"
    OUTPUT_VARIABLE offered OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE result)
  if(NOT result EQUAL 0 OR NOT offered STREQUAL expected)
    message(FATAL_ERROR "completing \"${words}\": ${result} \"${offered}\", not \"${expected}\"")
  endif()
endforeach()
file(REMOVE_RECURSE "${PREFIX}")
