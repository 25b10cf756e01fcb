/* The entry point of the runnable specimen. It jumps over a block that carries one known
   build's two 20-byte patterns where the worm check looks, at entry+34 and entry+3210, and
   goes on to the ordinary start-up. The block is data: it never runs. The same source serves
   the 32-bit build, whose C symbols carry a leading underscore. */

#if defined(__i386__)
#define SYMBOL(name) _##name
#else
#define SYMBOL(name) name
#endif

        .text
        .globl  SYMBOL(specimenEntry)
SYMBOL(specimenEntry):
        /* A near jump, spelt out so that its length is fixed at 5 bytes. */
        .byte   0xE9
        .long   specimenStart - (SYMBOL(specimenEntry) + 5)
        .fill   34 - 5, 1, 0x90
firstPattern:                           /* entry + 34 */
        .byte   0x57, 0x89, 0x65, 0xE8, 0x50, 0xD9, 0x3C, 0x24, 0x66, 0x81
        .byte   0x0C, 0x24, 0x00, 0x03, 0xD9, 0x2C, 0x24, 0x83, 0xC4, 0x04
        .fill   3210 - (34 + 20), 1, 0xCC
secondPattern:                          /* entry + 3210 */
        .byte   0x01, 0xC2, 0x83, 0xE9, 0x02, 0x83, 0xF9, 0x01, 0x7F, 0xEE
        .byte   0x09, 0xC9, 0x74, 0x05, 0x0F, 0xB6, 0x03, 0x01, 0xC2, 0x89
specimenStart:
        jmp     SYMBOL(mainCRTStartup)
