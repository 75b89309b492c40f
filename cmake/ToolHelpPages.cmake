# Writes the manual page and the bash completion of quorlink from the built
# tool's own --help texts, so that neither can tell of a command or an option
# the tool does not have, nor miss one it has:
#   cmake -DTOOL=bin/quorlink -DVERSION=0.1.0 -DGZIP=/usr/bin/gzip
#         -DMAN_PAGE=quorlink.1.gz -DCOMPLETION=quorlink -P ToolHelpPages.cmake
# Empty lines end the help's blocks, so lists must keep empty elements.
cmake_minimum_required(VERSION 3.25)

# The lines `quorlink ARGS...` prints. The help texts hold semicolons and
# brackets, which CMake lists would split or group; they travel as
# placeholders until the text is written out.
function(help_lines out)
  execute_process(COMMAND "${TOOL}" ${ARGN} OUTPUT_VARIABLE text RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "quorlink ${ARGN}: exit code ${result}")
  endif()
  string(REPLACE "\\" "@BS@" text "${text}")
  string(REPLACE ";" "@SEMI@" text "${text}")
  string(REPLACE "[" "@LB@" text "${text}")
  string(REPLACE "]" "@RB@" text "${text}")
  string(REGEX REPLACE "\n$" "" text "${text}")
  string(REPLACE "\n" ";" lines "${text}")
  set(${out} "${lines}" PARENT_SCOPE)
endfunction()

function(plain out text)
  string(REPLACE "@SEMI@" ";" text "${text}")
  string(REPLACE "@LB@" "[" text "${text}")
  string(REPLACE "@RB@" "]" text "${text}")
  string(REPLACE "@BS@" "\\" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# One line of help as roff text: backslashes shown as such, option dashes as
# the minus signs that can be typed, and no line read as a request.
function(roff out text)
  string(STRIP "${text}" text)
  string(REPLACE "@BS@" "\\e" text "${text}")
  plain(text "${text}")
  string(REGEX REPLACE "(^|[ ,(])-([A-Za-z])" "\\1\\\\-\\2" text "${text}")
  string(REPLACE "--" "\\-\\-" text "${text}")
  string(REGEX REPLACE "^([.'])" "\\\\&\\1" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# The entries of a "Options:" or "Arguments:" block of a command's help, as
# roff tagged paragraphs; appends the options to `options_out` (the long
# names) and those that take a value to `values_out`.
function(entries_roff out options_out values_out lines first)
  set(page "")
  set(options "")
  set(values "")
  list(LENGTH lines count)
  math(EXPR last "${count} - 1")
  foreach(index RANGE ${first} ${last})
    list(GET lines ${index} line)
    if(line STREQUAL "")
      break()
    endif()
    # An entry starts two spaces in, its tag words one space apart; wrapped
    # descriptions go on further in.
    if(line MATCHES "^  ([^ ]+( [^ ]+)*)  +(.*)$")
      roff(tag "${CMAKE_MATCH_1}")
      roff(description "${CMAKE_MATCH_3}")
      string(APPEND page ".TP\n\\fB${tag}\\fR\n${description}\n")
      if(CMAKE_MATCH_1 MATCHES "(--[a-z-]+)( <)?")
        list(APPEND options "${CMAKE_MATCH_1}")
        if(CMAKE_MATCH_2)
          list(APPEND values "${CMAKE_MATCH_1}")
        endif()
      endif()
    else()
      roff(description "${line}")
      string(APPEND page "${description}\n")
    endif()
  endforeach()
  set(${out} "${page}" PARENT_SCOPE)
  set(${options_out} "${options}" PARENT_SCOPE)
  set(${values_out} "${values}" PARENT_SCOPE)
endfunction()

# The commands, from the list in `quorlink --help`: "  NAME ARGUMENTS" lines.
help_lines(usage --help)
set(commands "")
set(synopsis "")
set(exit_codes "")
set(section "")
foreach(line IN LISTS usage)
  if(line MATCHES "^(usage:)? +(quorlink .*)$")
    roff(text "${CMAKE_MATCH_2}")
    string(APPEND synopsis "${text}\n")
  elseif(line MATCHES "^[a-z ]+:$")
    set(section "${line}")
  elseif(section STREQUAL "commands:" AND line MATCHES "^  ([a-z]+) ")
    list(APPEND commands "${CMAKE_MATCH_1}")
  elseif(section STREQUAL "exit codes:" AND line MATCHES "^  ([0-9]+)  +(.*)$")
    roff(text "${CMAKE_MATCH_2}")
    string(APPEND exit_codes ".TP\n${CMAKE_MATCH_1}\n${text}\n")
  endif()
endforeach()
if(NOT commands OR NOT exit_codes)
  message(FATAL_ERROR "quorlink --help lists no commands or no exit codes")
endif()

# Each command's own help: its usage line, summary, options and arguments.
set(sections "")
set(completion_cases "")
foreach(command IN LISTS commands)
  help_lines(help ${command} --help)
  list(GET help 0 usage_line)
  string(REGEX REPLACE "^usage: " "" usage_line "${usage_line}")
  roff(heading "${usage_line}")
  list(GET help 2 summary)
  roff(summary "${summary}")
  string(APPEND sections ".SS\n${heading}\n${summary}\n")
  set(command_options "")
  set(command_values "")
  list(LENGTH help count)
  math(EXPR last "${count} - 1")
  foreach(index RANGE ${last})
    list(GET help ${index} line)
    if(line STREQUAL "Options:" OR line STREQUAL "Arguments:")
      math(EXPR first "${index} + 1")
      entries_roff(entries options values "${help}" ${first})
      string(APPEND sections "${entries}")
      list(APPEND command_options ${options})
      list(APPEND command_values ${values})
    endif()
  endforeach()
  list(JOIN command_options " " command_options)
  list(JOIN command_values " " command_values)
  string(APPEND completion_cases
         "        ${command}) options=\"${command_options}\" values=\"${command_values}\" ;;\n")
endforeach()

string(REPLACE "-" "\\-" see_update "varnex-quorlink-update")
string(REPLACE "-" "\\-" see_tamber "varnex-quorlink-tamber")
file(WRITE "${MAN_PAGE}.tmp" ".TH QUORLINK 1 \"\" \"quorlink ${VERSION}\" \"Varnex Quorlink\"
.SH NAME
quorlink \\- read versions of, update and restart the cards of a Varnex Quorlink switch
.SH SYNOPSIS
.nf
${synopsis}.fi
.SH DESCRIPTION
\\fBquorlink\\fR runs the operations of the window programs
\\fB${see_update}\\fR(1) and \\fB${see_tamber}\\fR(1) without a window:
the same bytes on the serial line, the same checks and the same messages.
Each command below takes its own options and shows them with \\fB\\-\\-help\\fR.
.SH COMMANDS
${sections}.SH \"EXIT STATUS\"
${exit_codes}.SH \"SEE ALSO\"
.BR ${see_update} (1),
.BR ${see_tamber} (1)
")
# -n: no name or time stamp in the archive, so that a rebuild gives the same bytes.
execute_process(COMMAND "${GZIP}" -9n -c "${MAN_PAGE}.tmp" OUTPUT_FILE "${MAN_PAGE}"
                RESULT_VARIABLE result)
file(REMOVE "${MAN_PAGE}.tmp")
if(NOT result EQUAL 0)
  message(FATAL_ERROR "gzip failed: ${result}")
endif()

list(JOIN commands " " command_names)
plain(completion_cases "${completion_cases}")
file(WRITE "${COMPLETION}" "# bash completion for quorlink, made from its --help at build time.
_quorlink()
{
    local cur=\${COMP_WORDS[COMP_CWORD]} prev=\${COMP_WORDS[COMP_CWORD-1]}
    local options values
    COMPREPLY=()
    if ((COMP_CWORD == 1)); then
        COMPREPLY=(\$(compgen -W \"${command_names} --help --version\" -- \"\$cur\"))
        return
    fi
    case \${COMP_WORDS[1]} in
${completion_cases}        *) return ;;
    esac
    # The value of an option, and file arguments, are left to the shell's
    # own completion of file names.
    [[ \" \$values \" == *\" \$prev \"* ]] && return
    if [[ \$cur == -* ]]; then
        COMPREPLY=(\$(compgen -W \"\$options\" -- \"\$cur\"))
    fi
}
complete -o default -F _quorlink quorlink
")
