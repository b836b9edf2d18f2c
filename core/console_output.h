// How the programs set up their standard output before printing anything.
#pragma once

// Gives standard output one large, fully buffered block (static, not from the heap),
// so that a picture of millions of characters reaches the console or pipe in a few
// large writes instead of the system's default small ones. Call it first thing in
// main, before anything is printed; output is then flushed on every wait for a key
// and at exit.
void SetUpConsole();
