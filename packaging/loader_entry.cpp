// The programs' init and fini entries for the dynamic loader, in the hardened build.
//
// The loader calls a program's init and fini entries (DT_INIT, DT_FINI) through a
// pointer. Debian 12's glibc start files give these entries, _init and _fini, no
// landing pad for indirect branch tracking, so a program marked as ready for it
// would fault there wherever the tracking is enforced. The hardened build points
// both entries at these functions instead, which -fcf-protection compiles with
// their landing pads. _init and _fini do nothing a program without profiling needs:
// start-up and exit run the constructors and destructors through their own arrays.
extern "C" void MonoLoaderInit() {}
extern "C" void MonoLoaderFini() {}
