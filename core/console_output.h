// How the programs set up their standard output before printing anything.
#pragma once

// Gives standard output one large, fully buffered block (static, not from the heap),
// so that a picture of millions of characters reaches the console or pipe in a few
// large writes instead of the system's default small ones. On Windows it also makes
// code page 437 the C runtime's character set, so that the block, byte 219, reaches a
// console as the character U+2588 whatever the console's code page; what goes to a file
// or a pipe stays byte for byte as printed. Other systems keep the "C" locale. Call it
// first thing in main, before anything is printed; output is then flushed on every
// wait for a key and at exit.
void SetUpConsole();
