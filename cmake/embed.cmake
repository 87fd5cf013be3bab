# torvane_embed(<target> <symbol> <file>): links the bytes of <file> into <target> and declares
#   extern "C" const unsigned char <symbol>[]; extern "C" const unsigned char <symbol>_end[];
# The bytes come in through the assembler's .incbin, so large files cost no generated source.
function(torvane_embed target symbol file)
  get_filename_component(abs "${file}" ABSOLUTE)
  # One folder per target: two targets may embed different files under the same symbol.
  set(asm "${CMAKE_BINARY_DIR}/embedded/${target}/${symbol}.S")
  set(label "${symbol}")
  if(WIN32)
    # PE/COFF: a read-only data section; no ELF stack note. 32-bit Windows objects spell a C
    # name with a leading underscore.
    set(section ".section .rdata,\"dr\"")
    set(stack_note "")
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      set(label "_${symbol}")
    endif()
  else()
    set(section ".section .rodata.${symbol},\"a\"")
    set(stack_note "    .section .note.GNU-stack,\"\",@progbits")
  endif()
  file(WRITE "${asm}.in"
"    ${section}
    .global ${label}
    .global ${label}_end
    .balign 16
${label}:
    .incbin \"${abs}\"
${label}_end:
    .byte 0
${stack_note}
")
  configure_file("${asm}.in" "${asm}" COPYONLY)
  set_source_files_properties("${asm}" PROPERTIES OBJECT_DEPENDS "${abs}")
  target_sources(${target} PRIVATE "${asm}")
endfunction()
