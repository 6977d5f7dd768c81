# cmake -P script: SOURCE (data/), TARGET (program directory), DEFAULTS (the delivered topics
# and settings as an installation ships them), SITEPACK (packer).
file(MAKE_DIRECTORY ${TARGET} ${DEFAULTS})

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

# The defaults, always fresh: the program directory's own copies are the developer's files
# once the program has run, and must never be what an installation ships.
execute_process(COMMAND ${SITEPACK} cp932 ${SOURCE}/topics.txt ${DEFAULTS}/TOPICS.DAT
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "converting topics.txt failed")
endif()
configure_file(${SOURCE}/STARTUP.DAT ${DEFAULTS}/STARTUP.DAT COPYONLY)

# The user's files: delivered defaults only where none exist yet.
foreach(name TOPICS.DAT STARTUP.DAT)
  if(NOT EXISTS ${TARGET}/${name})
    file(COPY ${DEFAULTS}/${name} DESTINATION ${TARGET})
  endif()
endforeach()

# Pictures and help pages as they are.
file(GLOB_RECURSE files RELATIVE ${SOURCE} ${SOURCE}/images/* ${SOURCE}/help/*)
foreach(f ${files})
  get_filename_component(name ${f} NAME)
  configure_file(${SOURCE}/${f} ${TARGET}/${name} COPYONLY)
endforeach()
