// The stack probe that the compiler calls in front of a frame larger than a page: the system
// grows a thread's stack one guard page at a time, so every page of the new frame is touched in
// order from the top. The size comes in %eax; every register is kept, and %esp is left alone
// (the caller moves it).
asm(R"(
    .text
    .globl ___chkstk_ms
___chkstk_ms:
    pushl %ecx
    pushl %eax
    leal 12(%esp), %ecx
probe_next_page:
    cmpl $0x1000, %eax
    jb probe_last_page
    subl $0x1000, %ecx
    orl $0, (%ecx)
    subl $0x1000, %eax
    jmp probe_next_page
probe_last_page:
    subl %eax, %ecx
    orl $0, (%ecx)
    popl %eax
    popl %ecx
    ret
)");
