# cmake -P script: SOURCE (data/), TARGET (program directory), SITEPACK (packer).
file(MAKE_DIRECTORY ${TARGET})

# Readable sources packed into the forms the program and library read.
execute_process(COMMAND ${SITEPACK} pack ${SOURCE}/sitelist.txt ${TARGET}/sitelist.dat
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "packing sitelist.txt failed")
endif()
if(EXISTS ${SOURCE}/idxhelp.txt)
  execute_process(COMMAND ${SITEPACK} cp932 ${SOURCE}/idxhelp.txt ${TARGET}/idxhelp.dat
                  RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "converting idxhelp.txt failed")
  endif()
endif()

# The user's files: delivered defaults only where none exist yet.
if(EXISTS ${SOURCE}/topics.txt AND NOT EXISTS ${TARGET}/TOPICS.DAT)
  execute_process(COMMAND ${SITEPACK} cp932 ${SOURCE}/topics.txt ${TARGET}/TOPICS.DAT)
endif()
if(EXISTS ${SOURCE}/STARTUP.DAT AND NOT EXISTS ${TARGET}/STARTUP.DAT)
  file(COPY ${SOURCE}/STARTUP.DAT DESTINATION ${TARGET})
endif()

# Pictures and help pages as they are.
file(GLOB_RECURSE files RELATIVE ${SOURCE} ${SOURCE}/images/* ${SOURCE}/help/*)
foreach(f ${files})
  get_filename_component(name ${f} NAME)
  configure_file(${SOURCE}/${f} ${TARGET}/${name} COPYONLY)
endforeach()
