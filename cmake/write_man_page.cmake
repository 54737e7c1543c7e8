# Writes the manual page with the program's hidden --man flag:
#   cmake -DPROGRAM=path/to/chkimport -DOUTPUT=chkimport.1 -P write_man_page.cmake
execute_process(COMMAND ${PROGRAM} --man OUTPUT_FILE ${OUTPUT}.new RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  file(REMOVE ${OUTPUT}.new)
  message(FATAL_ERROR "${PROGRAM} --man failed: ${status}")
endif()
file(RENAME ${OUTPUT}.new ${OUTPUT})
