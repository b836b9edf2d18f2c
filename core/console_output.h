// How the programs set up their standard output before printing anything.
#pragma once

// On Windows, makes code page 437 the C runtime's character set, so that the block,
// byte 219, reaches a console as the character U+2588 whatever the console's code page;
// what goes to a file or a pipe stays byte for byte as printed. Other systems keep the
// "C" locale, and standard output keeps the C library's own buffering everywhere: the
// drawing and the listing hand it blocks of 64 KiB. Call it first thing in main,
// before anything is printed.
void SetUpConsole();
