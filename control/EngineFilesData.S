/* The bytes of the engine's files, each between quorvel_engine_<index> and
   quorvel_engine_<index>_end, aligned to 16 and hidden outside the module. */
#define ENGINE_FILE(index, name, type, path)                                   \
    .balign 16;                                                                \
    .global quorvel_engine_##index;                                            \
    .hidden quorvel_engine_##index;                                            \
    quorvel_engine_##index:                                                    \
    .incbin path;                                                              \
    .global quorvel_engine_##index##_end;                                      \
    .hidden quorvel_engine_##index##_end;                                      \
    quorvel_engine_##index##_end:

    .section .rodata
#include "EngineFileList.inc"
    .section .note.GNU-stack, "", @progbits
