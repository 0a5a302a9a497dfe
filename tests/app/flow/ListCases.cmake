# SPDX-License-Identifier: Apache-2.0
# Writes the test cases of a Qt Test program to OUTPUT, one "Class function [tag]" a line.
# -P script: cmake -DPROGRAM=... -DOUTPUT=... -P ListCases.cmake
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
          ${PROGRAM} -datatags
  OUTPUT_VARIABLE listed
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} -datatags failed (${result})")
endif()
file(WRITE ${OUTPUT} "${listed}")
