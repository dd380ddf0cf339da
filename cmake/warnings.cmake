# Compiler and linker settings every target of the project shares.
function(corv_target_defaults target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wno-unused-parameter -Wno-cast-function-type
    $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions>)
  target_compile_definitions(${target} PRIVATE _WIN32_WINNT=0x0601 WINVER=0x0601)
  # Deliverables need nothing but Windows: no mingw runtime DLLs.
  target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
endfunction()

# A DLL exporting stdcall functions by undecorated name in both widths.  Its
# .def template writes each export as Name${CORV_STDCALL_<bytes of arguments>}:
# in the 32-bit build that is the decorated symbol, and --kill-at drops the
# decoration from the exported name.
function(corv_add_export_dll target output def_template)
  foreach(bytes 0 4 12)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      set(CORV_STDCALL_${bytes} "@${bytes}")
    else()
      set(CORV_STDCALL_${bytes} "")
    endif()
  endforeach()
  configure_file(${def_template} ${CMAKE_CURRENT_BINARY_DIR}/${output}.def)
  add_library(${target} SHARED ${ARGN} ${CMAKE_CURRENT_BINARY_DIR}/${output}.def)
  corv_target_defaults(${target})
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    target_link_options(${target} PRIVATE -Wl,--kill-at)
  endif()
  set_target_properties(${target} PROPERTIES OUTPUT_NAME ${output} PREFIX "")
endfunction()
