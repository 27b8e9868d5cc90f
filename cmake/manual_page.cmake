# Writes the manual page (cmake -P) with help2man from the program's --help and
# --version and the include file:
#   cmake -DHELP2MAN=help2man -DPROGRAM=zira -DINCLUDE=zira.h2m -DOUTPUT=zira.1
#         -P manual_page.cmake

# The version, copyright and licence lines; the library versions below them
# describe the machine that built the page, not the program's manual.
execute_process(COMMAND "${PROGRAM}" --version OUTPUT_VARIABLE version RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT version MATCHES "^([^\n]+\n[^\n]+\n[^\n]+)\n")
  message(FATAL_ERROR "${PROGRAM} --version gave no version, copyright and licence lines")
endif()
set(version "${CMAKE_MATCH_1}")

execute_process(
  COMMAND "${HELP2MAN}" --no-info "--include=${INCLUDE}" "--version-string=${version}"
          "--output=${OUTPUT}.tmp" "${PROGRAM}"
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "help2man failed on ${PROGRAM}")
endif()

# help2man knows "Options:" and "Files:" as sections of --help but takes
# "Exit status:" for a subsection of the options; it is a section of its own.
file(READ ${OUTPUT}.tmp page)
file(REMOVE ${OUTPUT}.tmp)
set(subsection ".SS \"Exit status:\"\n")
string(FIND "${page}" "${subsection}" at)
if(at EQUAL -1)
  message(FATAL_ERROR "${PROGRAM} --help has no 'Exit status:' list for the manual page")
endif()
string(REPLACE "${subsection}" ".SH \"EXIT STATUS\"\n" page "${page}")
file(WRITE ${OUTPUT} "${page}")
