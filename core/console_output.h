// How the programs' standard output is buffered.
#pragma once

// Gives standard output one large, fully buffered block (static, not from the heap),
// so that a picture of millions of characters reaches the console or pipe in a few
// large writes instead of the system's default small ones. Call it before anything
// is printed; output is then flushed on every wait for a key and at exit.
void UseLargeOutputBuffer();
