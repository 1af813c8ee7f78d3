// The save area for suspending the program in a browser page that waits for a typed line:
// there the page's host unwinds the program's call stack into this area at a read of
// standard input and rewinds it from there when the line has come (the module is
// transformed for that at build time). It is a static buffer of the module, since memory
// that the host grew before the first allocation would be taken by the C library's
// allocator. Both symbols are exported by the linker as globals holding their addresses
// (CMakeLists.txt), which the host reads before the program starts: an exported function
// would run the program's static constructors and destructors when called. The plain
// WebAssembly build has them too and never uses them.
#include <cstdint>

// The deepest read (the dialogue, an input statement, the record reader, the console)
// saves a few hundred bytes of locals; the area leaves ample room.
constexpr std::uint32_t SUSPEND_AREA_SIZE = 16384;

extern "C" {
alignas(16) std::uint8_t lamvis2_suspend_area[SUSPEND_AREA_SIZE];
extern const std::uint32_t lamvis2_suspend_area_size;
const std::uint32_t lamvis2_suspend_area_size = SUSPEND_AREA_SIZE;
}
