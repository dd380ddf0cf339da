# Compiler and linker settings every target of the project shares.
function(corv_target_defaults target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wno-unused-parameter -Wno-cast-function-type
    $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions>)
  target_compile_definitions(${target} PRIVATE _WIN32_WINNT=0x0601 WINVER=0x0601)
  # Deliverables need nothing but Windows: no mingw runtime DLLs.
  target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
endfunction()
