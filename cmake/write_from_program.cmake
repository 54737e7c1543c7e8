# Writes what the program prints with its hidden flags (the manual page, the
# completion scripts) into a file, replaced only once it is whole:
#   cmake -DPROGRAM=path/to/chkimport "-DARGS=--man" -DOUTPUT=chkimport.1 -P write_from_program.cmake
separate_arguments(ARGS)
execute_process(COMMAND ${PROGRAM} ${ARGS} OUTPUT_FILE ${OUTPUT}.new RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  file(REMOVE ${OUTPUT}.new)
  message(FATAL_ERROR "${PROGRAM} ${ARGS} failed: ${status}")
endif()
file(RENAME ${OUTPUT}.new ${OUTPUT})
