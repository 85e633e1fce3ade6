# Compiles varno.chm: converts the UTF-8 sources of the help to code page 936
# in WORK_DIR, compiles the project there with chmcmd and copies the result
# to OUTPUT. Run with cmake -P; SOURCE_DIR, WORK_DIR, ICONV, CHMCMD and OUTPUT
# are given with -D.
foreach(var SOURCE_DIR WORK_DIR ICONV CHMCMD OUTPUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "BuildHelp.cmake: ${var} is not set")
  endif()
endforeach()

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR}/images)

# Everything the viewer reads as text is in the help file's ANSI code page.
# iconv fails on a character that code page 936 cannot hold, and so does the
# build.
file(GLOB texts RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*.hhp ${SOURCE_DIR}/*.hhc
     ${SOURCE_DIR}/*.hhk ${SOURCE_DIR}/*.htm ${SOURCE_DIR}/*.css)
foreach(name IN LISTS texts)
  execute_process(COMMAND ${ICONV} -f UTF-8 -t CP936 ${SOURCE_DIR}/${name}
                  OUTPUT_FILE ${WORK_DIR}/${name} RESULT_VARIABLE result
                  ERROR_VARIABLE error)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "help/${name} does not convert to code page 936: ${error}")
  endif()
endforeach()

file(GLOB images ${SOURCE_DIR}/images/*.png)
file(COPY ${images} DESTINATION ${WORK_DIR}/images)

execute_process(COMMAND ${CHMCMD} --verbosity 0 varno.hhp WORKING_DIRECTORY ${WORK_DIR}
                RESULT_VARIABLE result OUTPUT_VARIABLE log ERROR_VARIABLE log)
if(NOT result EQUAL 0 OR NOT EXISTS ${WORK_DIR}/varno.chm)
  message(FATAL_ERROR "chmcmd failed (${result}):\n${log}")
endif()
# chmcmd reports a link to a missing file as a warning and goes on: a help
# file with a hole in it is not built.
if(log MATCHES "Warning|Error")
  message(FATAL_ERROR "chmcmd:\n${log}")
endif()

file(REMOVE ${OUTPUT})
file(RENAME ${WORK_DIR}/varno.chm ${OUTPUT})
