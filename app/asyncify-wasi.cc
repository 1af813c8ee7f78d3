// The save area for suspending the program in a browser page that waits for a typed line:
// there the page's host unwinds the program's call stack into this area at a read of
// standard input and rewinds it from there when the line has come (the module is
// transformed for that at build time). It is a static buffer of the module, since memory
// that the host grew before the first allocation would be taken by the C library's
// allocator. The plain WebAssembly build exports it too and never uses it.
#include <cstddef>
#include <cstdint>

namespace {

// The deepest read (the dialogue, an input statement, the record reader, the console)
// saves a few hundred bytes of locals; the area leaves ample room.
constexpr std::size_t SUSPEND_AREA_SIZE = 16384;

alignas(16) std::uint8_t suspendArea[SUSPEND_AREA_SIZE];

}  // namespace

extern "C" {

__attribute__((export_name("lamvis2_suspend_area"))) std::uint8_t* lamvis2SuspendArea() {
    return suspendArea;
}

__attribute__((export_name("lamvis2_suspend_area_size"))) std::size_t lamvis2SuspendAreaSize() {
    return SUSPEND_AREA_SIZE;
}

}
