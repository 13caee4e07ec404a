# System DLLs from the system folder only. A KnownDLL always comes from there;
# any other DLL a program imports statically would be looked for beside the
# program first, before the program can restrict the search. Those are linked
# as delay-loaded imports instead: each loads at its first call, after the
# program's first act (SetDefaultDllDirectories) has limited the search.

# A function the headers declare dllimport is called through its IAT slot only,
# and GNU ld for i386 then drops the stub the slot starts at (binutils bug
# 14339): the first call jumps to 0. Declared plain, the calls go through the
# stub, which the delay-load helper binds on the first call.
add_compile_definitions(DECLSPEC_IMPORT=)

# The system DLLs the programs use that are not KnownDLLs.
set(ORVN_DELAY_LOADED_DLLS version wininet iphlpapi bcrypt winmm msvfw32 comctl32)

# A delay-import library made from MinGW-w64's import library of dll: the same
# functions, bound at the first call (the helper is in libmingwex).
function(orvn_make_delay_library dll out)
  find_library(import_lib_${dll} NAMES lib${dll}.a REQUIRED NO_CACHE)
  set(lib ${CMAKE_BINARY_DIR}/delayimp/lib${dll}_delay.a)
  if(NOT EXISTS ${lib} OR ${import_lib_${dll}} IS_NEWER_THAN ${lib})
    execute_process(COMMAND ${CMAKE_NM} ${import_lib_${dll}} OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
    # Every function the import library names: __imp__Name@N on i686, __imp_Name on x86-64.
    string(REGEX MATCHALL "I __imp_[^\r\n]+" functions "${symbols}")
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      list(TRANSFORM functions REPLACE "^I __imp__" "")
    else()
      list(TRANSFORM functions REPLACE "^I __imp_" "")
    endif()
    list(JOIN functions "\n" exports)
    file(WRITE ${CMAKE_BINARY_DIR}/delayimp/${dll}.def "LIBRARY ${dll}.dll\nEXPORTS\n${exports}\n")
    # --kill-at: the DLL exports GetFileVersionInfoW, the callers link _GetFileVersionInfoW@16.
    execute_process(COMMAND ${CMAKE_DLLTOOL} --kill-at --input-def ${CMAKE_BINARY_DIR}/delayimp/${dll}.def
                            --output-delaylib ${lib}
                    COMMAND_ERROR_IS_FATAL ANY)
  endif()
  set(${out} ${lib} PARENT_SCOPE)
endfunction()

# orvn_link_system_libraries(target scope lib...): target_link_libraries for
# system libraries, with the DLLs above delay-loaded.
function(orvn_link_system_libraries target scope)
  set(libs)
  foreach(lib ${ARGN})
    if(lib IN_LIST ORVN_DELAY_LOADED_DLLS)
      if(NOT TARGET orvn_delay_${lib})
        orvn_make_delay_library(${lib} location)
        add_library(orvn_delay_${lib} STATIC IMPORTED GLOBAL)
        set_target_properties(orvn_delay_${lib} PROPERTIES IMPORTED_LOCATION ${location})
      endif()
      list(APPEND libs orvn_delay_${lib})
    else()
      list(APPEND libs ${lib})
    endif()
  endforeach()
  target_link_libraries(${target} ${scope} ${libs})
endfunction()
