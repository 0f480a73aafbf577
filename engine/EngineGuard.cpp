// The frame of the engine-fault guard: RunEngineGuarded puts OnEngineFault
// on the stack between the caller and the engine, in each architecture's
// own way of registering a frame-based exception handler.
#include "EngineGuard.h"

#include <atomic>

namespace {

std::atomic<EngineFaultHandler> g_faultHandler{nullptr};

// A fault raised by the processor or the system (access violation, divide by
// zero, stack overflow, breakpoint...). Codes with the customer bit set are
// software exceptions: C++ throws (GCC's "GCC" codes, the Microsoft
// compiler's 0xE06D7363) are on their way to a catch and pass through, and
// informational codes (debug output) are no fault at all.
bool IsFault(DWORD code) { return (code & 0x20000000u) == 0 && code >= 0x80000000u; }

}  // namespace

void SetEngineFaultHandler(EngineFaultHandler handler) noexcept { g_faultHandler.store(handler); }

// Called by the system's exception dispatch for the guard's frame once the
// engine's own frames below it have declined.
extern "C" EXCEPTION_DISPOSITION NTAPI OnEngineFault(EXCEPTION_RECORD* record, void*,
                                                    CONTEXT* context, void*) {
    // Unwinding on the way to a handler further down: not ours to stop.
    if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND))
        return ExceptionContinueSearch;
    if (!IsFault(record->ExceptionCode)) return ExceptionContinueSearch;
    if (const EngineFaultHandler report = g_faultHandler.load()) report(record, context);
    ::TerminateProcess(::GetCurrentProcess(), record->ExceptionCode);
    return ExceptionContinueSearch;
}

#if defined(__x86_64__)

// x64: handlers are found through the function tables, so the guard is a
// function whose unwind information names OnEngineFault as its exception
// handler (@except: asked while a handler is searched for, not on unwinds).
// It calls body(context); the nop keeps the return address off the epilogue.
asm(R"(
    .text
    .globl RunEngineGuarded
    .def RunEngineGuarded; .scl 2; .type 32; .endef
    .seh_proc RunEngineGuarded
RunEngineGuarded:
    subq $40, %rsp
    .seh_stackalloc 40
    .seh_endprologue
    .seh_handler OnEngineFault, @except
    movq %rcx, %rax
    movq %rdx, %rcx
    callq *%rax
    nop
    addq $40, %rsp
    ret
    .seh_endproc
)");

#elif defined(__i386__)

namespace {

// x86: a registration record on this thread's handler chain at fs:[0], taken
// off again however the body ends (a C++ exception unwinds through it).
class ChainedFrame {
public:
    ChainedFrame() {
        NT_TIB* tib = ThreadInformation();
        m_record.Next = tib->ExceptionList;
        m_record.Handler = &OnEngineFault;
        tib->ExceptionList = &m_record;
    }
    ~ChainedFrame() { ThreadInformation()->ExceptionList = m_record.Next; }
    ChainedFrame(const ChainedFrame&) = delete;
    ChainedFrame& operator=(const ChainedFrame&) = delete;

private:
    // The thread information block, through its self pointer at fs:[0x18]
    // (read directly: GCC's array-bounds check misreads the fs-relative
    // intrinsic in optimised builds).
    static NT_TIB* ThreadInformation() {
        NT_TIB* tib;
        asm volatile("movl %%fs:0x18, %0" : "=r"(tib));
        return tib;
    }

    EXCEPTION_REGISTRATION_RECORD m_record;
};

}  // namespace

extern "C" __attribute__((noinline)) void RunEngineGuarded(void (*body)(void*), void* context) {
    const ChainedFrame frame;
    body(context);
}

#else
#error "the engine-fault guard knows x86 and x64 only"
#endif
