// File channels over a memory channel: the first bytes of the input choose
// a sequence of typed reads and seeks, the rest is the channel's content.
// Reads past the end of a memory channel give zeros; lengths read from the
// content are used as a game would use them, bounded by what remains.
#include "sys/channels.hpp"
#include "tests/fuzz/fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace crv;
    std::size_t ops = size < 12 ? size : 12;
    const std::uint8_t* content = data + ops;
    std::size_t content_size = size - ops;
    DynString name(fuzz::memory_name_of(content, content_size).c_str());
    fuzz::check(channel_open(2, name, 1), "a memory channel did not open");
    DynString text;
    std::int32_t last_int = 0;
    for (std::size_t i = 0; i < ops; ++i) {
        switch (data[i] % 14) {
            case 0: channel_read_byte(2); break;
            case 1: channel_read_ubyte(2); break;
            case 2: channel_read_short(2); break;
            case 3: channel_read_ushort(2); break;
            case 4: last_int = channel_read_int(2); break;
            case 5: channel_read_float(2); break;
            case 6: channel_read_double(2); break;
            case 7: {
                std::int64_t room = static_cast<std::int64_t>(content_size) - channel_tell(2) + 16;
                std::int64_t n = last_int < room ? last_int : room;
                channel_read_bytes(2, text, static_cast<double>(n));
                fuzz::check(n <= 0 ? text.length() == 0 : text.length() == static_cast<std::uint32_t>(n),
                            "read_bytes gave another length");
                break;
            }
            // A line read at the end of a channel ends the program, as it
            // should; a game tests the end first.
            case 8: if (!channel_eof(2)) channel_read_line(2, text); break;
            case 9: if (!channel_eof(2)) channel_read_line_double(2); break;
            case 10: if (!channel_eof(2)) channel_read_line_int(2); break;
            case 11: channel_seek(2, last_int, data[i] & 0x10 ? -1 : data[i] & 0x20 ? 1 : 0); break;
            case 12: channel_seek(2, 0, 0); break;
            default: channel_eof(2); channel_tell(2); break;
        }
        fuzz::check(channel_tell(2) >= 0, "a channel position below zero");
    }
    channel_close(2);
    return 0;
}
