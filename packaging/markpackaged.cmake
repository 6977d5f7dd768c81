# Run by CPack once the package's files stand in its staging folder: the marker "packaged"
# beside the program's data tells the installed program that the system's package manager
# brings its updates, so it never fetches program files itself. A `make install` carries no
# marker and keeps the program's own update.
file(GLOB_RECURSE data_dirs LIST_DIRECTORIES true
     "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/share/velmora")
list(FILTER data_dirs INCLUDE REGEX "/share/velmora$")
if(NOT data_dirs)
  message(FATAL_ERROR "no share/velmora in ${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
endif()
foreach(dir ${data_dirs})
  file(WRITE "${dir}/packaged" "Updates of this installation come from the system's packages.\n")
endforeach()
