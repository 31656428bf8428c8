// Line files read from a "mem://" name: every slot as text and numbers, one
// slot replaced. A memory-named file is never written back.
#include <corvane/sys.hpp>
#include "tests/fuzz/fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace crv;
    DynString name(fuzz::memory_name_of(data, size).c_str());
    DynString text;
    for (int i : {0, 1, 2, 7, 100, 254, 255}) {
        line_read_text(name, i, text);
        fuzz::check(text.length() <= static_cast<std::uint32_t>(k_line_slot_bytes) || text == DynString("NO_DATA"),
                    "a line longer than its slot");
        line_read_double(name, i);
        line_read_int(name, i);
    }
    line_write_text(name, 3, DynString("replaced"));
    line_read_text(name, 3, text);
    fuzz::check(text == DynString("replaced"), "a written slot reads back otherwise");
    // Another name drops the held file, so that the next input is read anew
    // even if it lands at the same address.
    line_read_text(DynString(""), 0, text);
    return 0;
}
