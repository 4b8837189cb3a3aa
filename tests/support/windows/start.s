# The whole program of the test executables: they are read, never run.
    .globl _start
_start:
    ret
