// ABI test host: loads the plug-in library as a host does and drives the
// fixed sequence of abi_sequence.h through it, printing one line per frame.
//
//   velt-abi-host <library>            print the sequence's output
//   velt-abi-host --version <library>  print the version the library reports
//
// Built for Windows (velt.dll, run under Wine by the native tests) and
// natively (libvelt.so); the two outputs must be byte-identical. On Windows
// every entry point is also called through a stack frame laid out by hand,
// which proves the stdcall contract a host compiled by another compiler
// relies on: who removes how many bytes, and where Elapse's result goes.
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
    kLoad, kDispose, kGetPluginVersion, kSetVehicleSpec, kInitialize, kElapse, kSetPower,
    kSetBrake, kSetReverser, kKeyDown, kKeyUp, kHornBlow, kDoorOpen, kDoorClose, kSetSignal,
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
    void setVehicleSpec(const VehicleSpec& s) { asFunction<SetVehicleSpecFn>(e_[kSetVehicleSpec])(s); }
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

#if !defined(__i386__)
#error "velt.dll is a 32-bit x86 library; build this host with the i686 toolchain"
#endif

#define WIN32_LEAN_AND_MEAN
#include <fcntl.h>
#include <float.h>
#include <io.h>
#include <windows.h>

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

int g_failures = 0;

void fail(const char* what, const char* entry, std::uint32_t got, std::uint32_t want) {
    ++g_failures;
    std::fprintf(stderr, "ABI: %s %s: got %" PRIu32 " (0x%" PRIX32 "), want %" PRIu32 "\n", entry,
                 what, got, got, want);
}

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
        if (removed != 4 * count) {
            fail("stack bytes removed by the callee", kEntries[entry].decorated, removed,
                 4 * count);
        }
        return eax;
    }
    void callInt(Entry entry, std::int32_t value) {
        const std::uint32_t word = static_cast<std::uint32_t>(value);
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

// The library loaded afresh, both names of every entry point resolved.
struct Library {
    HMODULE module = nullptr;
    FARPROC entries[16] = {};

    bool open(const char* path) {
        module = LoadLibraryA(path);
        if (module == nullptr) {
            std::fprintf(stderr, "cannot load %s (error %lu)\n", path, GetLastError());
            return false;
        }
        bool ok = true;
        for (int i = 0; i < 16; ++i) {
            const FARPROC plain = GetProcAddress(module, kEntries[i].plain);
            const FARPROC decorated = GetProcAddress(module, kEntries[i].decorated);
            if (plain == nullptr || decorated == nullptr || plain != decorated) {
                std::fprintf(stderr, "%s: %s %p, %s %p: both must exist and be the same\n", path,
                             kEntries[i].plain, reinterpret_cast<void*>(plain),
                             kEntries[i].decorated, reinterpret_cast<void*>(decorated));
                ok = false;
            }
            entries[i] = decorated;
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
            std::fprintf(stderr, "%s stayed loaded after FreeLibrary\n", path);
            return false;
        }
        return true;
    }
};

unsigned x87ControlWord() {
    std::uint16_t cw = 0;
    asm volatile("fnstcw %0" : "=m"(cw));
    return cw;
}

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
    std::printf("%s: plug-in version %" PRId32 "\n", name, version);
    return g_failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);  // LF line ends, as the native twin prints
    if (argc == 3 && std::strcmp(argv[1], "--version") == 0) {
        return printVersion(argv[2]);
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s [--version] velt.dll\n", argv[0]);
        return 2;
    }
    const char* path = argv[1];

    // 1. Hand-laid stdcall frames, the x87 unit at its start-up precision.
    std::string reference;
    if (!runFresh(path, reference, [](const FARPROC (&e)[16]) { return RawPlugin(e); })) {
        return 1;
    }
    // 2. The same through compiler-generated stdcall calls.
    std::string typed;
    if (!runFresh(path, typed, [](const FARPROC (&e)[16]) { return TypedPlugin<FARPROC>(e); })) {
        return 1;
    }
    // 3. Hand-laid frames with the x87 unit at single precision, as some
    //    hosts run: results must not depend on the x87 control word.
    const unsigned savedCw = x87ControlWord();
    _controlfp(_PC_24, _MCW_PC);
    const unsigned singleCw = x87ControlWord();
    std::string single;
    const bool singleOk =
        runFresh(path, single, [](const FARPROC (&e)[16]) { return RawPlugin(e); });
    const unsigned afterCw = x87ControlWord();
    _controlfp(savedCw & _MCW_PC, _MCW_PC);
    if (!singleOk) {
        return 1;
    }
    if ((singleCw & 0x300U) != 0) {
        std::fprintf(stderr, "could not set the x87 unit to single precision (cw %04X)\n",
                     singleCw);
        return 1;
    }
    if (afterCw != singleCw) {
        std::fprintf(stderr, "the library changed the x87 control word from %04X to %04X\n",
                     singleCw, afterCw);
        ++g_failures;
    }
    if (typed != reference) {
        std::fprintf(stderr, "compiler-generated calls gave a different output\n");
        ++g_failures;
    }
    if (single != reference) {
        std::fprintf(stderr, "x87 single precision gave a different output\n");
        ++g_failures;
    }
    std::fwrite(reference.data(), 1, reference.size(), stdout);
    return g_failures == 0 ? 0 : 1;
}

#else  // native twin

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

namespace {

struct Library {
    void* handle = nullptr;
    void* entries[16] = {};

    bool open(const char* path) {
        handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            std::fprintf(stderr, "cannot load %s: %s\n", path, dlerror());
            return false;
        }
        bool ok = true;
        for (int i = 0; i < 16; ++i) {
            entries[i] = dlsym(handle, kEntries[i].plain);
            if (entries[i] == nullptr) {
                std::fprintf(stderr, "%s: no %s\n", path, kEntries[i].plain);
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
        std::fprintf(stderr, "usage: %s [--version] libvelt.so\n", argv[0]);
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
        std::printf("%s: plug-in version %" PRId32 "\n", name, plugin.version());
        return 0;
    }
    const std::string out = abi::runSequence(plugin);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

#endif
