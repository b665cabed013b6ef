// The assembler copies the two files in byte for byte (.incbin), which costs
// the build nothing, where a generated array of a megabyte would take the
// compiler many seconds. The same directives serve ELF (Linux) and PE
// (mingw-w64). Nothing else lives in this file, and the asm ends back in
// .text: the compiler does not track the section a top-level asm leaves
// behind, and puts what it adds itself (AddressSanitizer's constructor) where
// it believes it is, in .text.
// VELMAR_REPORT_TEMPLATE and VELMAR_CHART_LIBRARY are the files' paths (cardset/CMakeLists.txt).

asm(".section .rodata\n"
    ".balign 16\n"
    ".globl velmar_report_template_start\n"
    "velmar_report_template_start:\n"
    ".incbin \"" VELMAR_REPORT_TEMPLATE "\"\n"
    ".globl velmar_report_template_end\n"
    "velmar_report_template_end:\n"
    ".balign 16\n"
    ".globl velmar_chart_library_start\n"
    "velmar_chart_library_start:\n"
    ".incbin \"" VELMAR_CHART_LIBRARY "\"\n"
    ".globl velmar_chart_library_end\n"
    "velmar_chart_library_end:\n"
    ".byte 0\n"
    ".text\n");
