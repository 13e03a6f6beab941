// The C++ runtime is linked into the library, and a host may load and unload
// it many times in one process. Two of the runtime's habits assume it lives as
// long as the process, and would keep something of every load:
// - At load, the unwinder registers our exception tables under a lock made
//   once through pthread_once; the threads library's pthread_once records the
//   calling (host) thread for its cancellation rules, a thread handle and an
//   event that nothing frees while that thread lives. The link routes the
//   runtime's pthread_once here (--wrap): a plain run-once on an interlocked
//   word, the same contract without the record.
// - The exception emergency pool is allocated at load and never freed; the
//   unload frees it (ReleaseRuntimeAtUnload).
// Both are habits of MinGW's static libstdc++ and winpthreads; other runtimes
// (MSVC's static CRT) have neither, and the unload has nothing to give back.
#include <windows.h>

#if defined(__MINGW32__)
#include <pthread.h>

#include <atomic>

#include "base/logic/RunOnce.h"

// Reserved names on purpose: the runtime's own, and the one the linker's
// --wrap asks for.
// NOLINTBEGIN(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
namespace __gnu_cxx {
void __freeres() noexcept;  // libstdc++: frees the exception emergency pool
}

extern "C" int __wrap_pthread_once(pthread_once_t* once, void (*init)(void)) {
    // PTHREAD_ONCE_INIT is 0, as RunOnce's "not run"; the word is a long.
    static_assert(sizeof(pthread_once_t) == sizeof(std::atomic<long>), "one word");
    kelvane::RunOnce(*reinterpret_cast<std::atomic<long>*>(once), init, [] { Sleep(0); });
    return 0;
}
// NOLINTEND(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)

void ReleaseRuntimeAtUnload() { __gnu_cxx::__freeres(); }
#else
void ReleaseRuntimeAtUnload() {}
#endif
