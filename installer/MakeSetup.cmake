# Packs the program folder into the installer: writes the install and
# uninstall file lists for the script, then runs makensis when the lists, the
# script, the pictures or any packed file are newer than the installer.
#   cmake -DMAKENSIS= -DTARGET= -DSCRIPT= -DDIST= -DOUT= -DVERSION= -DICON= -DWIZARD= -DHEADER= -P MakeSetup.cmake

get_filename_component(work ${OUT} DIRECTORY)
file(MAKE_DIRECTORY ${work})

# Whatever the build has put into the program folder, but never a player's
# own server list, which an upgrade must keep, nor what an update run there
# left: its record (start.INI), its lock and staged copies.
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${DIST} ${DIST}/*)
list(FILTER files EXCLUDE REGEX "(^|/)[Uu][Ss][Ee][Rr]\\.[Tt][Xx][Tt]$")
list(FILTER files EXCLUDE REGEX "^[Ss][Tt][Aa][Rr][Tt]\\.[Ii][Nn][Ii]$")
list(FILTER files EXCLUDE REGEX "\\.orvn-")
list(SORT files)
if(NOT files)
  message(FATAL_ERROR "${DIST} is empty: build the programs first")
endif()

set(install "")
set(uninstall "")
set(dirs "")
set(current "-")
foreach(f IN LISTS files)
  get_filename_component(dir ${f} DIRECTORY)
  string(REPLACE "/" "\\" winfile "${f}")
  if(NOT dir STREQUAL current)
    set(current "${dir}")
    if(dir)
      string(REPLACE "/" "\\" windir "${dir}")
      string(APPEND install "SetOutPath \"$INSTDIR\\${windir}\"\n")
      list(APPEND dirs ${windir})
    else()
      string(APPEND install "SetOutPath \"$INSTDIR\"\n")
    endif()
  endif()
  string(APPEND install "File \"${DIST}/${f}\"\n")
  string(APPEND uninstall "Delete \"$INSTDIR\\${winfile}\"\n")
endforeach()
# Deepest folders first, so each is empty when its turn comes.
list(REMOVE_DUPLICATES dirs)
list(SORT dirs ORDER DESCENDING)
foreach(d IN LISTS dirs)
  string(APPEND uninstall "RMDir \"$INSTDIR\\${d}\"\n")
endforeach()

# Rewritten only on change, so the time stamps below mean something.
function(write_if_changed path body)
  file(WRITE ${path}.new "${body}")
  file(COPY_FILE ${path}.new ${path} ONLY_IF_DIFFERENT)
  file(REMOVE ${path}.new)
endfunction()
write_if_changed(${work}/files.nsh "${install}")
write_if_changed(${work}/unfiles.nsh "${uninstall}")

set(stale FALSE)
if(NOT EXISTS ${OUT})
  set(stale TRUE)
endif()
set(inputs ${SCRIPT} ${ICON} ${WIZARD} ${HEADER} ${work}/files.nsh ${work}/unfiles.nsh)
foreach(f IN LISTS files)
  list(APPEND inputs ${DIST}/${f})
endforeach()
foreach(f IN LISTS inputs)
  if(${f} IS_NEWER_THAN ${OUT})
    set(stale TRUE)
  endif()
endforeach()
if(NOT stale)
  return()
endif()

list(LENGTH files count)
message(STATUS "Packing ${count} files of ${DIST} into ${OUT}")
execute_process(
  COMMAND ${MAKENSIS} -V2 -INPUTCHARSET UTF8 -XTarget\ ${TARGET}
    -DVERSION=${VERSION} -DOUTFILE=${OUT}.tmp -DICON=${ICON} -DWIZARD=${WIZARD} -DHEADER=${HEADER}
    -DFILES=${work}/files.nsh -DUNFILES=${work}/unfiles.nsh ${SCRIPT}
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  file(REMOVE ${OUT}.tmp)
  message(FATAL_ERROR "makensis failed (${rc})")
endif()
file(RENAME ${OUT}.tmp ${OUT})
