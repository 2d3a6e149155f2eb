// ABI test host: loads the plug-in library as a host does and drives the
// fixed sequence of abi_sequence.h through it, printing one line per frame.
//
//   velt-abi-host <library>            print the sequence's output
//   velt-abi-host --version <library>  print the version the library reports
//
// Built for 32-bit Windows (velt.dll) and 64-bit Windows (velt64.dll), both
// run under Wine by the native tests, and natively (libvelt.so); all outputs
// must be byte-identical. On Windows every entry point is also called through
// a call laid out by hand, which proves the contract a host compiled by
// another compiler relies on: on x86 the stdcall frame (who removes how many
// bytes, where Elapse's result goes), on x86-64 the argument registers, the
// records passed by reference, the hidden result pointer and the registers
// the callee must keep.
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "abi_sequence.h"

namespace {

using namespace velt;

// The entry point types exactly as plugin_abi.h declares them, calling
// convention included.
using VoidFn = decltype(&::Load);  // every entry point without arguments
using GetPluginVersionFn = decltype(&::GetPluginVersion);
using SetVehicleSpecFn = decltype(&::SetVehicleSpec);
using InitializeFn = decltype(&::Initialize);
using ElapseFn = decltype(&::Elapse);
using IntFn = decltype(&::SetPower);  // every entry point taking one int32
using BeaconFn = decltype(&::SetBeaconData);

// Library symbols arrive as untyped addresses; memcpy is the one conversion
// to a function pointer that no warning or aliasing rule objects to.
template <class Fn, class Symbol>
Fn asFunction(Symbol symbol) {
    static_assert(sizeof(Fn) == sizeof(Symbol));
    Fn fn;
    std::memcpy(&fn, &symbol, sizeof fn);
    return fn;
}

// The sixteen entry points, in the order and with the argument bytes of
// their decorated names.
struct EntryName {
    const char* plain;
    const char* decorated;
};
constexpr EntryName kEntries[16] = {
    {"Load", "Load@0"},
    {"Dispose", "Dispose@0"},
    {"GetPluginVersion", "GetPluginVersion@0"},
    {"SetVehicleSpec", "SetVehicleSpec@20"},
    {"Initialize", "Initialize@4"},
    {"Elapse", "Elapse@48"},
    {"SetPower", "SetPower@4"},
    {"SetBrake", "SetBrake@4"},
    {"SetReverser", "SetReverser@4"},
    {"KeyDown", "KeyDown@4"},
    {"KeyUp", "KeyUp@4"},
    {"HornBlow", "HornBlow@4"},
    {"DoorOpen", "DoorOpen@0"},
    {"DoorClose", "DoorClose@0"},
    {"SetSignal", "SetSignal@4"},
    {"SetBeaconData", "SetBeaconData@16"},
};
enum Entry {
    kLoad,
    kDispose,
    kGetPluginVersion,
    kSetVehicleSpec,
    kInitialize,
    kElapse,
    kSetPower,
    kSetBrake,
    kSetReverser,
    kKeyDown,
    kKeyUp,
    kHornBlow,
    kDoorOpen,
    kDoorClose,
    kSetSignal,
    kSetBeaconData,
};

// Calls through typed function pointers: the calls a compiler generates.
template <class Symbol>
class TypedPlugin {
public:
    explicit TypedPlugin(const Symbol (&entries)[16]) : e_(entries) {}

    void load() { asFunction<VoidFn>(e_[kLoad])(); }
    void dispose() { asFunction<VoidFn>(e_[kDispose])(); }
    std::int32_t version() { return asFunction<GetPluginVersionFn>(e_[kGetPluginVersion])(); }
    void setVehicleSpec(const VehicleSpec& s) {
        asFunction<SetVehicleSpecFn>(e_[kSetVehicleSpec])(s);
    }
    void initialize(std::int32_t v) { asFunction<InitializeFn>(e_[kInitialize])(v); }
    HandleCommand elapse(const VehicleState& s, std::int32_t* panel, std::int32_t* sound) {
        return asFunction<ElapseFn>(e_[kElapse])(s, panel, sound);
    }
    void setPower(std::int32_t v) { asFunction<IntFn>(e_[kSetPower])(v); }
    void setBrake(std::int32_t v) { asFunction<IntFn>(e_[kSetBrake])(v); }
    void setReverser(std::int32_t v) { asFunction<IntFn>(e_[kSetReverser])(v); }
    void keyDown(std::int32_t v) { asFunction<IntFn>(e_[kKeyDown])(v); }
    void keyUp(std::int32_t v) { asFunction<IntFn>(e_[kKeyUp])(v); }
    void hornBlow(std::int32_t v) { asFunction<IntFn>(e_[kHornBlow])(v); }
    void doorOpen() { asFunction<VoidFn>(e_[kDoorOpen])(); }
    void doorClose() { asFunction<VoidFn>(e_[kDoorClose])(); }
    void setSignal(std::int32_t v) { asFunction<IntFn>(e_[kSetSignal])(v); }
    void setBeaconData(const BeaconData& b) { asFunction<BeaconFn>(e_[kSetBeaconData])(b); }

private:
    const Symbol (&e_)[16];
};

}  // namespace

#if defined(_WIN32)

#if !defined(__i386__) && !defined(__x86_64__)
#error "the Windows plug-in is built for x86 (velt.dll) and x86-64 (velt64.dll) only"
#endif

#define WIN32_LEAN_AND_MEAN
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <xmmintrin.h>
#include <cfloat>

#include <algorithm>
#include <initializer_list>

namespace {

int g_failures = 0;

void fail(const char* what, const char* entry, std::uint64_t got, std::uint64_t want) {
    ++g_failures;
    (void)std::fprintf(stderr, "ABI: %s %s: got %" PRIu64 " (0x%" PRIX64 "), want %" PRIu64 "\n",
                       entry, what, got, got, want);
}

}  // namespace

#if defined(__i386__)

// velt.dll exports every entry point under both names; the hand-laid calls
// go through the decorated one, which the same function must answer to.
constexpr bool kDecoratedNames = true;

// Calls fn with count 32-bit words on the stack, words[0] at the lowest
// address (so for Elapse words[0] is the hidden result pointer, pushed last),
// from a stack pointer that is 4 but not 16 byte aligned, as a host may call.
// Returns EAX; *removed receives the bytes the callee took off the stack,
// or 0xFFFFFFFF when it did not preserve ESI (EBX, EDI and EBP are what this
// caller uses to find its way back, so losing those fails loudly anyway).
extern "C" std::uint32_t velt_stdcall_raw(FARPROC fn, const std::uint32_t* words,
                                          std::uint32_t count, std::uint32_t* removed);
asm(R"(
    .text
    .globl _velt_stdcall_raw
_velt_stdcall_raw:
    pushl %ebp
    movl  %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl  12(%ebp), %esi
    movl  16(%ebp), %ecx
    movl  %esp, %edi
    andl  $-16, %esp
    leal  1(%ecx), %eax
    shll  $2, %eax
    negl  %eax
    andl  $15, %eax
    subl  %eax, %esp
1:  testl %ecx, %ecx
    jz    2f
    decl  %ecx
    pushl (%esi,%ecx,4)
    jmp   1b
2:  movl  %esp, %ebx
    call  *8(%ebp)
    movl  %esp, %ecx
    subl  %ebx, %ecx
    cmpl  12(%ebp), %esi
    je    3f
    movl  $-1, %ecx
3:  movl  %edi, %esp
    movl  20(%ebp), %edx
    movl  %ecx, (%edx)
    popl  %edi
    popl  %esi
    popl  %ebx
    popl  %ebp
    ret
)");

namespace {

std::uint32_t address(const void* p) {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(p));
}

// Every call through a hand-laid stdcall frame, checked on return.
class RawPlugin {
public:
    explicit RawPlugin(const FARPROC (&entries)[16]) : e_(entries) {}

    void load() { call(kLoad, nullptr, 0); }
    void dispose() { call(kDispose, nullptr, 0); }
    std::int32_t version() {
        return static_cast<std::int32_t>(call(kGetPluginVersion, nullptr, 0));
    }
    void setVehicleSpec(const VehicleSpec& s) { callRecord(kSetVehicleSpec, s); }
    void initialize(std::int32_t v) { callInt(kInitialize, v); }
    HandleCommand elapse(const VehicleState& s, std::int32_t* panel, std::int32_t* sound) {
        // The result slot is pre-filled so that a callee writing nothing shows.
        HandleCommand result{-77, -77, -77, -77};
        std::uint32_t words[13];
        words[0] = address(&result);
        std::memcpy(&words[1], &s, sizeof s);
        words[11] = address(panel);
        words[12] = address(sound);
        const std::uint32_t eax = call(kElapse, words, 13);
        if (eax != address(&result)) {
            fail("EAX is not the result pointer", kEntries[kElapse].decorated, eax,
                 address(&result));
        }
        return result;
    }
    void setPower(std::int32_t v) { callInt(kSetPower, v); }
    void setBrake(std::int32_t v) { callInt(kSetBrake, v); }
    void setReverser(std::int32_t v) { callInt(kSetReverser, v); }
    void keyDown(std::int32_t v) { callInt(kKeyDown, v); }
    void keyUp(std::int32_t v) { callInt(kKeyUp, v); }
    void hornBlow(std::int32_t v) { callInt(kHornBlow, v); }
    void doorOpen() { call(kDoorOpen, nullptr, 0); }
    void doorClose() { call(kDoorClose, nullptr, 0); }
    void setSignal(std::int32_t v) { callInt(kSetSignal, v); }
    void setBeaconData(const BeaconData& b) { callRecord(kSetBeaconData, b); }

private:
    std::uint32_t call(Entry entry, const std::uint32_t* words, std::uint32_t count) {
        std::uint32_t removed = 0;
        const std::uint32_t eax = velt_stdcall_raw(e_[entry], words, count, &removed);
        const std::uint32_t argumentBytes = 4 * count;
        if (removed != argumentBytes) {
            fail("stack bytes removed by the callee", kEntries[entry].decorated, removed,
                 argumentBytes);
        }
        return eax;
    }
    void callInt(Entry entry, std::int32_t value) {
        const auto word = static_cast<std::uint32_t>(value);
        call(entry, &word, 1);
    }
    template <class Record>
    void callRecord(Entry entry, const Record& record) {
        static_assert(sizeof record % 4 == 0);
        std::uint32_t words[sizeof record / 4];
        std::memcpy(words, &record, sizeof record);
        call(entry, words, sizeof record / 4);
    }

    const FARPROC (&e_)[16];
};

unsigned x87ControlWord() {
    std::uint16_t cw = 0;
    asm volatile("fnstcw %0" : "=m"(cw));
    return cw;
}

}  // namespace

#else  // __x86_64__

// 64-bit Windows decorates no names: velt64.dll has the plain ones only.
constexpr bool kDecoratedNames = false;

// Calls fn as a 64-bit Windows caller does: args[0] to args[3] in RCX, RDX,
// R8 and R9, a 32-byte home area above the return address and RSP 16-byte
// aligned at the call. RBX, RSI, RDI and R12 to R15 hold markers across the
// call. Returns RAX; *broken receives a bit for every one of those registers
// the callee did not restore (bit 0 RBX to bit 6 R15) and bit 7 when RSP did
// not come back where it was (RBP is what this caller uses to find its way
// back, so losing it fails loudly anyway).
extern "C" std::uint64_t velt_win64_raw(FARPROC fn, const std::uint64_t* args,
                                        std::uint32_t* broken);
asm(R"(
    .macro velt_expect reg, marker, bit
    movabsq $\marker, %rdx
    cmpq  %rdx, %\reg
    je    1f
    orl   $\bit, %ecx
1:
    .endm

    .text
    .globl velt_win64_raw
velt_win64_raw:
    pushq %rbp
    movq  %rsp, %rbp
    pushq %rbx
    pushq %rsi
    pushq %rdi
    pushq %r12
    pushq %r13
    pushq %r14
    pushq %r15
    pushq %r8
    subq  $32, %rsp
    movq  %rcx, %rax
    movq  %rdx, %r10
    movabsq $0x0B0B0B0B0B0B0B01, %rbx
    movabsq $0x0B0B0B0B0B0B0B02, %rsi
    movabsq $0x0B0B0B0B0B0B0B03, %rdi
    movabsq $0x0B0B0B0B0B0B0B04, %r12
    movabsq $0x0B0B0B0B0B0B0B05, %r13
    movabsq $0x0B0B0B0B0B0B0B06, %r14
    movabsq $0x0B0B0B0B0B0B0B07, %r15
    movq  (%r10), %rcx
    movq  8(%r10), %rdx
    movq  16(%r10), %r8
    movq  24(%r10), %r9
    call  *%rax
    xorl  %ecx, %ecx
    velt_expect rbx, 0x0B0B0B0B0B0B0B01, 1
    velt_expect rsi, 0x0B0B0B0B0B0B0B02, 2
    velt_expect rdi, 0x0B0B0B0B0B0B0B03, 4
    velt_expect r12, 0x0B0B0B0B0B0B0B04, 8
    velt_expect r13, 0x0B0B0B0B0B0B0B05, 16
    velt_expect r14, 0x0B0B0B0B0B0B0B06, 32
    velt_expect r15, 0x0B0B0B0B0B0B0B07, 64
    leaq  -96(%rbp), %rdx
    cmpq  %rdx, %rsp
    je    2f
    orl   $128, %ecx
2:  movq  -64(%rbp), %r8
    movl  %ecx, (%r8)
    leaq  -56(%rbp), %rsp
    popq  %r15
    popq  %r14
    popq  %r13
    popq  %r12
    popq  %rdi
    popq  %rsi
    popq  %rbx
    popq  %rbp
    ret
)");

namespace {

std::uint64_t address(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

// What a caller may leave in the bits of an argument register that an
// argument does not fill, and in the registers of arguments not passed: an
// entry point must read only its own arguments, and of an int32 only ECX.
constexpr std::uint64_t kUnusedRegister = 0xA5A5A5A5A5A5A5A5U;
constexpr std::uint64_t kUpperHalfJunk = 0xDEADBEEF00000000U;

// Every call laid out by hand in the 64-bit convention, checked on return.
// Records larger than 8 bytes (VehicleSpec, VehicleState, BeaconData) go by
// reference to a copy the caller owns, which the callee may overwrite;
// Elapse's 16-byte result comes back through a hidden pointer in RCX, the
// declared arguments moving one register on, and RAX returns that pointer.
class RawPlugin {
public:
    explicit RawPlugin(const FARPROC (&entries)[16]) : e_(entries) {}

    void load() { call(kLoad, {}); }
    void dispose() { call(kDispose, {}); }
    std::int32_t version() {
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(call(kGetPluginVersion, {})));
    }
    void setVehicleSpec(const VehicleSpec& s) { callRecord(kSetVehicleSpec, s); }
    void initialize(std::int32_t v) { callInt(kInitialize, v); }
    HandleCommand elapse(const VehicleState& s, std::int32_t* panel, std::int32_t* sound) {
        // The result slot is pre-filled so that a callee writing nothing shows.
        HandleCommand result{-77, -77, -77, -77};
        VehicleState copy = s;
        const std::uint64_t rax =
            call(kElapse, {address(&result), address(&copy), address(panel), address(sound)});
        if (rax != address(&result)) {
            fail("RAX is not the result pointer", kEntries[kElapse].plain, rax, address(&result));
        }
        return result;
    }
    void setPower(std::int32_t v) { callInt(kSetPower, v); }
    void setBrake(std::int32_t v) { callInt(kSetBrake, v); }
    void setReverser(std::int32_t v) { callInt(kSetReverser, v); }
    void keyDown(std::int32_t v) { callInt(kKeyDown, v); }
    void keyUp(std::int32_t v) { callInt(kKeyUp, v); }
    void hornBlow(std::int32_t v) { callInt(kHornBlow, v); }
    void doorOpen() { call(kDoorOpen, {}); }
    void doorClose() { call(kDoorClose, {}); }
    void setSignal(std::int32_t v) { callInt(kSetSignal, v); }
    void setBeaconData(const BeaconData& b) { callRecord(kSetBeaconData, b); }

private:
    std::uint64_t call(Entry entry, std::initializer_list<std::uint64_t> args) {
        std::uint64_t registers[4] = {kUnusedRegister, kUnusedRegister, kUnusedRegister,
                                      kUnusedRegister};
        std::copy(args.begin(), args.end(), registers);
        std::uint32_t broken = 0;
        const std::uint64_t rax = velt_win64_raw(e_[entry], registers, &broken);
        if (broken != 0) {
            fail("left callee-saved registers changed (bits: RBX RSI RDI R12-R15 RSP)",
                 kEntries[entry].plain, broken, 0);
        }
        return rax;
    }
    void callInt(Entry entry, std::int32_t value) {
        call(entry, {kUpperHalfJunk | static_cast<std::uint32_t>(value)});
    }
    template <class Record>
    void callRecord(Entry entry, const Record& record) {
        static_assert(sizeof record > 8);
        Record copy = record;
        call(entry, {address(&copy)});
    }

    const FARPROC (&e_)[16];
};

}  // namespace

#endif

namespace {

// The library loaded afresh, every entry point resolved by each name it
// must have (and by no other).
struct Library {
    HMODULE module = nullptr;
    FARPROC entries[16] = {};

    bool open(const char* path) {
        module = LoadLibraryA(path);
        if (module == nullptr) {
            (void)std::fprintf(stderr, "cannot load %s (error %lu)\n", path, GetLastError());
            return false;
        }
        bool ok = true;
        for (int i = 0; i < 16; ++i) {
            const auto plain = GetProcAddress(module, kEntries[i].plain);
            const auto decorated = GetProcAddress(module, kEntries[i].decorated);
            if (plain == nullptr || (kDecoratedNames ? decorated != plain : decorated != nullptr)) {
                (void)std::fprintf(stderr, "%s: %s %p, %s %p: %s\n", path, kEntries[i].plain,
                                   reinterpret_cast<void*>(plain), kEntries[i].decorated,
                                   reinterpret_cast<void*>(decorated),
                                   kDecoratedNames ? "both must exist and be the same"
                                                   : "only the plain name may exist");
                ok = false;
            }
            entries[i] = kDecoratedNames ? decorated : plain;
        }
        return ok;
    }

    // A fresh load for the next run: the plug-in's statics start from zero
    // only if the module really left the process.
    bool close(const char* path) {
        char name[MAX_PATH];
        const DWORD n = GetModuleFileNameA(module, name, MAX_PATH);
        FreeLibrary(module);
        module = nullptr;
        if (n > 0 && n < MAX_PATH && GetModuleHandleA(name) != nullptr) {
            (void)std::fprintf(stderr, "%s stayed loaded after FreeLibrary\n", path);
            return false;
        }
        return true;
    }
};

// Runs the sequence on a fresh load of the library; false on any failure.
template <class Make>
bool runFresh(const char* path, std::string& out, Make make) {
    Library lib;
    if (!lib.open(path)) {
        return false;
    }
    auto plugin = make(lib.entries);
    out = abi::runSequence(plugin);
    return lib.close(path);
}

int printVersion(const char* path) {
    Library lib;
    if (!lib.open(path)) {
        return 1;
    }
    RawPlugin plugin(lib.entries);
    const std::int32_t version = plugin.version();
    char name[MAX_PATH] = "?";
    GetModuleFileNameA(lib.module, name, MAX_PATH);
    (void)std::printf("%s: plug-in version %" PRId32 "\n", name, version);
    return g_failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);  // LF line ends, as the native twin prints
    if (argc == 3 && std::strcmp(argv[1], "--version") == 0) {
        return printVersion(argv[2]);
    }
    if (argc != 2) {
        (void)std::fprintf(stderr, "usage: %s [--version] %s\n", argv[0],
                           kDecoratedNames ? "velt.dll" : "velt64.dll");
        return 2;
    }
    const char* path = argv[1];
    // The SSE control bits (rounding, flush-to-zero, exception masks) are the
    // host's on both widths; the six sticky exception flags below them are
    // any arithmetic's to raise.
    constexpr unsigned kMxcsrControl = ~0x3FU;
    const unsigned mxcsr = _mm_getcsr() & kMxcsrControl;

    // 1. Hand-laid calls (on x86, the x87 unit at its start-up precision).
    std::string reference;
    if (!runFresh(path, reference, [](const FARPROC(&e)[16]) { return RawPlugin(e); })) {
        return 1;
    }
    // 2. The same through compiler-generated calls.
    std::string typed;
    if (!runFresh(path, typed, [](const FARPROC(&e)[16]) { return TypedPlugin<FARPROC>(e); })) {
        return 1;
    }
    if (typed != reference) {
        (void)std::fprintf(stderr, "compiler-generated calls gave a different output\n");
        ++g_failures;
    }
#if defined(__i386__)
    // 3. Hand-laid frames with the x87 unit at single precision, as some
    //    hosts run: results must not depend on the x87 control word.
    const unsigned savedCw = x87ControlWord();
    _controlfp(_PC_24, _MCW_PC);
    const unsigned singleCw = x87ControlWord();
    std::string single;
    const bool singleOk =
        runFresh(path, single, [](const FARPROC(&e)[16]) { return RawPlugin(e); });
    const unsigned afterCw = x87ControlWord();
    _controlfp(savedCw & _MCW_PC, _MCW_PC);
    if (!singleOk) {
        return 1;
    }
    if ((singleCw & 0x300U) != 0) {
        (void)std::fprintf(stderr, "could not set the x87 unit to single precision (cw %04X)\n",
                           singleCw);
        return 1;
    }
    if (afterCw != singleCw) {
        (void)std::fprintf(stderr, "the library changed the x87 control word from %04X to %04X\n",
                           singleCw, afterCw);
        ++g_failures;
    }
    if (single != reference) {
        (void)std::fprintf(stderr, "x87 single precision gave a different output\n");
        ++g_failures;
    }
#endif
    if ((_mm_getcsr() & kMxcsrControl) != mxcsr) {
        (void)std::fprintf(stderr, "the library changed the MXCSR control bits from %04X to %04X\n",
                           mxcsr, _mm_getcsr() & kMxcsrControl);
        ++g_failures;
    }
    (void)std::fwrite(reference.data(), 1, reference.size(), stdout);
    return g_failures == 0 ? 0 : 1;
}

#else  // native twin

#include <dlfcn.h>
#include <climits>
#include <cstdlib>

namespace {

struct Library {
    void* handle = nullptr;
    void* entries[16] = {};

    bool open(const char* path) {
        handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            (void)std::fprintf(stderr, "cannot load %s: %s\n", path, dlerror());
            return false;
        }
        bool ok = true;
        for (int i = 0; i < 16; ++i) {
            entries[i] = dlsym(handle, kEntries[i].plain);
            if (entries[i] == nullptr) {
                (void)std::fprintf(stderr, "%s: no %s\n", path, kEntries[i].plain);
                ok = false;
            }
        }
        return ok;
    }
};

}  // namespace

int main(int argc, char** argv) {
    const bool versionOnly = argc == 3 && std::strcmp(argv[1], "--version") == 0;
    if (argc != 2 && !versionOnly) {
        (void)std::fprintf(stderr, "usage: %s [--version] libvelt.so\n", argv[0]);
        return 2;
    }
    const char* path = argv[argc - 1];
    Library lib;
    if (!lib.open(path)) {
        return 1;
    }
    TypedPlugin<void*> plugin(lib.entries);
    if (versionOnly) {
        // The file the loader really opened, as an absolute path.
        Dl_info info{};
        char full[PATH_MAX];
        const char* name = path;
        if (dladdr(lib.entries[kGetPluginVersion], &info) != 0 && info.dli_fname != nullptr &&
            realpath(info.dli_fname, full) != nullptr) {
            name = full;
        }
        (void)std::printf("%s: plug-in version %" PRId32 "\n", name, plugin.version());
        return 0;
    }
    const std::string out = abi::runSequence(plugin);
    (void)std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

#endif
