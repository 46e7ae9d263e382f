// The AddressSanitizer options every test program starts with; ASAN_OPTIONS,
// read after them, adds to them (CI's are in tools/test.sh).
//
// intercept_tls_get_addr=0. The ASan runtime of GCC 12 notes each block of
// dynamic thread-local storage (that of a library loaded with dlopen, such as
// Mesa's GL driver) when a thread first asks for it, so that LeakSanitizer
// scans it at exit. To find where the block starts it still guesses after
// glibc 2.19, whose blocks were mmap'ed behind a header: a block that lies 16
// bytes past a page boundary is taken for one, and the 16 bytes before it are
// read as its start and size. Today's glibc takes these blocks from malloc,
// so that "header" is whatever lies before the block, and LeakSanitizer then
// scans a made-up range at exit and crashes after the test passed ("Tracer
// caught signal 11 ... LeakSanitizer has encountered a fatal error"; with
// ASAN_OPTIONS=verbosity=2 the runtime says "glibc >=2.19 suspected" with the
// made-up range just before). Where the GL driver's block lands changes from
// run to run with the order in which llvmpipe's worker threads allocate, and
// between builds, hence an abort now and then after whichever GL test: one
// run of a few hundred on one day, 13 runs of the GL tests in 20 on another.
// With fewer worker threads (LP_NUM_THREADS=0) the block still lands
// anywhere; without the interception the runtime never guesses.
//
// The leak check stays on for everything: the blocks are no roots of their
// own any more, but stay reachable from the thread's static TLS, which is
// scanned, through glibc's vector of the thread's blocks.
#if defined(__SANITIZE_ADDRESS__)
extern "C" __attribute__((used, visibility("default"))) const char* __asan_default_options()
{
    return "intercept_tls_get_addr=0";
}
#endif
