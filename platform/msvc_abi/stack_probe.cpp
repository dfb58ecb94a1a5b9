// __chkstk: the compiler calls it before a frame larger than a page, with the
// frame's size in eax (rax), to touch each page of it in order so the guard
// page below the stack moves down. On x86 it also makes the room (Microsoft's
// convention); on x86-64 the caller does. And on x86 the offset of the TLS
// array in the thread block, which the compiler reads thread_local through.
#if defined(__i386__)
__asm__(".globl __tls_array\n"
        ".set __tls_array, 44\n"
        ".text\n"
        ".globl __chkstk\n"
        "__chkstk:\n"
        "  pushl %ecx\n"
        "  cmpl $0x1000, %eax\n"
        "  leal 8(%esp), %ecx\n" // the stack pointer of the caller
        "  jb 1f\n"
        "2:\n"
        "  subl $0x1000, %ecx\n"
        "  testl %ecx, (%ecx)\n"
        "  subl $0x1000, %eax\n"
        "  cmpl $0x1000, %eax\n"
        "  ja 2b\n"
        "1:\n"
        "  subl %eax, %ecx\n"
        "  testl %ecx, (%ecx)\n"
        "  leal 4(%esp), %eax\n" // where the return address is
        "  movl %ecx, %esp\n"
        "  movl -4(%eax), %ecx\n"
        "  pushl (%eax)\n"
        "  subl %esp, %eax\n"
        "  ret\n");
#else
__asm__(".text\n"
        ".globl __chkstk\n"
        "__chkstk:\n"
        "  pushq %rcx\n"
        "  pushq %rax\n"
        "  cmpq $0x1000, %rax\n"
        "  leaq 24(%rsp), %rcx\n" // the stack pointer of the caller
        "  jb 1f\n"
        "2:\n"
        "  subq $0x1000, %rcx\n"
        "  testq %rcx, (%rcx)\n"
        "  subq $0x1000, %rax\n"
        "  cmpq $0x1000, %rax\n"
        "  ja 2b\n"
        "1:\n"
        "  subq %rax, %rcx\n"
        "  testq %rcx, (%rcx)\n"
        "  popq %rax\n"
        "  popq %rcx\n"
        "  ret\n");
#endif
