#include "storage/MappedWrite.h"

#include <csetjmp>
#include <csignal>
#include <cstdint>
#include <mutex>

namespace qv {
namespace {

struct Guarded {
    sigjmp_buf jump;
    uintptr_t begin = 0;
    uintptr_t end = 0;
};

// The bytes the thread is writing now. The signal comes to the thread that faulted.
thread_local Guarded* t_guarded = nullptr;
struct sigaction g_before { };

void onSigbus(int signal, siginfo_t* info, void* context)
{
    const Guarded* g = t_guarded;
    const auto at = reinterpret_cast<uintptr_t>(info->si_addr);
    if (g && at >= g->begin && at < g->end)
        siglongjmp(const_cast<Guarded*>(g)->jump, 1);
    // Not ours: as it would have gone without this handler.
    if (g_before.sa_flags & SA_SIGINFO) {
        if (g_before.sa_sigaction) {
            g_before.sa_sigaction(signal, info, context);
            return;
        }
    } else if (g_before.sa_handler != SIG_DFL && g_before.sa_handler != SIG_IGN) {
        g_before.sa_handler(signal);
        return;
    }
    // Returning runs the faulting access again, which now ends the program as it would have.
    ::signal(SIGBUS, SIG_DFL);
}

void install()
{
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action { };
        action.sa_sigaction = onSigbus;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGBUS, &action, &g_before);
    });
}

} // namespace

bool MappedWrite::run(void* begin, size_t length, const std::function<void()>& write)
{
    install();
    Guarded guarded;
    guarded.begin = reinterpret_cast<uintptr_t>(begin);
    guarded.end = guarded.begin + length;
    Guarded* const outer = t_guarded;
    // The signal mask is kept, so SIGBUS is not left blocked after the jump out of its handler.
    if (sigsetjmp(guarded.jump, 1) != 0) {
        t_guarded = outer;
        return false;
    }
    t_guarded = &guarded;
    write();
    t_guarded = outer;
    return true;
}

} // namespace qv
