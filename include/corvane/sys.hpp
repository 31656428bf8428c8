/// @defgroup sys Files and system
/// Files and system services of a game: the eight file channels, the file
/// system, settings files, line-indexed text files, questions about the
/// platform, the environment, starting programs, and reaching code by name
/// (the game's callback table and functions bound from shared libraries).
///
/// Names may use "/" or "\"; names handed back use "/". Start-up makes the
/// executable's folder the working directory, so relative names are found
/// beside the executable. Reading (channels, settings, line files) finds a
/// file on disk first, then in the media pack appended to the executable;
/// "mem://" names read bytes in memory. The file-system functions look at
/// the disk only.
///
/// **Lifetime:** the channel table, the held settings file and the held
/// line file live until program end, which closes the channels and writes
/// back the held files if they changed (an exit handler covers every
/// std::exit).
///
/// **Threads:** game thread only.
///
/// **Failures** are results (false, 0, "NO_DATA", "NO_FILE") and, where
/// noted, the last-error code (3: no such file, 7: index out of range); on
/// an open channel a failed read or write is fatal, and so is a channel
/// number outside 0..7 for anything but crv::channel_open (error code set,
/// then end_program). Numbers from the game are truncated toward zero.
///
/// **Examples:** @ref example_scene3d sets its build information
/// (crv::set_program_build_info); @ref example_arcade keeps its high scores
/// in a settings file in the application-data folder, reads all its media
/// from the pack on its executable and names its pause callbacks in a call
/// table.

/// @file
/// File channels, the file system, settings and line files, the platform
/// and reaching code by name: see @ref sys.
#pragma once

#include <corvane/dyn_array.hpp>
#include <corvane/dyn_string.hpp>

#include <cstdint>
#include <type_traits>

namespace crv {

/// @addtogroup sys
/// @{

/// @name File channels: numbered streams 0..7 of typed little-endian values
/// @{

/// Channel numbers run from 0 to k_channel_count - 1.
inline constexpr int k_channel_count = 8;
/// The longest line channel_read_line returns in one piece.
inline constexpr int k_line_limit = 1024;

/// Opens name on a channel (closing what it held). mode >= 1: read (disk or
/// media pack); 0: write (the file is created anew); < 0: append. False and
/// error code 3 when the file cannot be opened, 7 for a channel outside 0..7.
bool channel_open(double channel, const DynString& name, double mode);
/// Closes the channel; a closed channel is left as it is.
void channel_close(double channel);
/// Lowest channel without an open disk file; -1 when all have one.
int channel_free_slot();
/// True when the read position has reached the end.
bool channel_eof(double channel);
/// The read or write position in bytes from the start.
std::int32_t channel_tell(double channel);
/// Moves the position by distance: origin < 0 from the end; > 0 from the
/// current position; 0 from the start.
void channel_seek(double channel, double distance, double origin);

/// Reads one byte as -128..127.
///
/// The readers (this one and those below) read little-endian values at the
/// position and move it on. Reading past the end of a memory channel gives
/// zeros; on a disk channel it is fatal (error code 3, then end_program),
/// as is reading a channel that is not open.
std::int32_t channel_read_byte(double channel);
/// Reads one byte as 0..255.
std::int32_t channel_read_ubyte(double channel);
/// Reads two bytes as -32768..32767.
std::int32_t channel_read_short(double channel);
/// Reads two bytes as 0..65535.
std::int32_t channel_read_ushort(double channel);
/// Reads four bytes: the 32 bits as stored.
std::int32_t channel_read_int(double channel);
/// Reads the four bytes of a float.
double channel_read_float(double channel);
/// Reads the eight bytes of a double.
double channel_read_double(double channel);
/// Reads exactly n bytes into target (n <= 0: the empty text).
void channel_read_bytes(double channel, DynString& target, double n);
/// Reads a line into target: up to the next line feed, at most 1024 bytes; a CR before the LF is
/// dropped. Longer lines come in pieces of 1024 bytes.
void channel_read_line(double channel, DynString& target);
/// channel_read_line read as a number (atof).
double channel_read_line_double(double channel);
/// channel_read_line read as an integer (atoi).
std::int32_t channel_read_line_int(double channel);

/// Writes one byte: the low 8 bits of value truncated toward zero.
///
/// The writers (this one and those below) write little-endian values at
/// the position and move it on; integers keep their low 8, 16 or 32 bits.
/// Writing to a channel without an open disk file (closed, or opened on a
/// memory name) or a failed write is fatal (error code 3, then end_program).
void channel_write_byte(double channel, double value);
/// Writes two bytes: the low 16 bits.
void channel_write_short(double channel, double value);
/// Writes four bytes: the low 32 bits.
void channel_write_int(double channel, double value);
/// Writes value as the four bytes of a float.
void channel_write_float(double channel, double value);
/// Writes the eight bytes of a double.
void channel_write_double(double channel, double value);
/// Writes the text's bytes, without terminator.
void channel_write_text(double channel, const DynString& text);
/// Writes the text, then CR LF.
void channel_write_line(double channel, const DynString& text);
/// @}

/// @name File system (disk only)
/// @{

/// True for an existing name that is not a folder.
bool file_exists(const DynString& name);
/// True for an existing folder.
bool dir_exists(const DynString& name);
/// Deletes a file; false when it cannot.
bool file_delete(const DynString& name);
/// Creates one folder; its parent must exist.
bool dir_create(const DynString& name);
/// Copies a file (the source may be a memory name). On any failure (error
/// code 3) no partial target is left behind.
bool file_copy(const DynString& source, const DynString& target);
/// Bytes of a file or of a memory name; 0 and error code 3 when it cannot be
/// opened.
std::int64_t file_size(const DynString& name);
/// The current folder; always ends in "/".
DynString dir_current();
/// Makes name the current folder: 1, or 0 with error code 3.
int dir_change(const DynString& name);
/// Fills names with the current folder's subfolders (all of them, "." and
/// ".." included), then its files that match pattern, each group sorted
/// ignoring case. Returns folders * 65536 + files.
std::int64_t dir_list(const DynString& pattern, DynArray<DynString>& names);
/// True when name matches pattern: "*" any run, "?" any one byte but ".",
/// letters match in either case;
/// "*.*" matches everything.
bool wildcard_match(const DynString& pattern, const DynString& name);
/// @}

/// @name Settings files: "[section]" headers and "key=value" lines
/// One file is held at a time; section and key names match ignoring case.
/// @{

/// Saves the held file if changed, then loads the named one. A missing file
/// gives an empty store under that name; an empty name holds no file.
void settings_open(const DynString& name);
/// The value of key in section, or default_value when either is missing.
DynString settings_get(const DynString& section, const DynString& key, const DynString& default_value);
/// Sets key in section to value in the held file (kept in memory until
/// saved). An empty key deletes the section; an empty value deletes the key
/// (and adds nothing when the key is missing).
void settings_put(const DynString& section, const DynString& key, const DynString& value);
/// Writes the held file when it changed and has a disk name. Write errors are
/// not reported; the old file then stays as it was.
void settings_save();
/// @}

/// @name Line-indexed text files: 256 line slots of at most 1023 bytes
/// One file is held at a time; using another name saves the held one (if
/// changed) and loads the new one. Results: 0 on success, 7 for an index
/// outside 0..255, 3 for a missing file on reading (recorded as the error
/// code as well).
/// @{

/// Line indexes run from 0 to k_line_slots - 1.
inline constexpr int k_line_slots = 256;
/// The longest line a line file keeps, in bytes.
inline constexpr int k_line_slot_bytes = 1023;

/// Reads line index of file into target: the line without trailing control
/// bytes, or "NO_DATA" (empty line or bad index) or "NO_FILE".
int line_read_text(const DynString& file, double index, DynString& target);
/// The line read as a number (atof); 0 when it cannot be read.
double line_read_double(const DynString& file, double index);
/// The line read as an integer (atoi); 0 when it cannot be read.
int line_read_int(const DynString& file, double index);
/// Replaces a line; a missing file starts empty; longer texts are cut at
/// 1023 bytes.
int line_write_text(const DynString& file, double index, const DynString& text);
/// Replaces a line with the number text of value.
int line_write_double(const DynString& file, double index, double value);
/// Saves the held line file now if it changed (program end does it anyway).
void line_file_save();
/// @}

/// @name The platform, the environment and other programs
/// @{

/// What the game's build supplies for platform_info's "COMPILED", "HOSTID"
/// and "VERSION". Until set: the run-time's build date and time, "00000000"
/// and "000.000".
struct ProgramBuildInfo {
    const char* compiled = nullptr;  ///< "COMPILED": when the game was built
    const char* host_id = nullptr;   ///< "HOSTID": an identifier of the build
    const char* version = nullptr;   ///< "VERSION": the game's version text
};
/// Sets the build information; the texts must outlive the program (string
/// literals). Null fields keep the defaults.
void set_program_build_info(const ProgramBuildInfo& info);

/// The answer to a question about the surroundings; the key ignores case:
/// "" the platform, "DEVICE", "GLEXT:<entry point>" ("1"/"0"), "ID",
/// "TIME", "UTCTIME" ("YYYY-MM-DD hh:mm:ss"), "BATTERY" (percent),
/// "COMPILED", "HOSTID", "VERSION", "LOCALE" (two letters), "DOCUMENTS",
/// "APPDATA", "TEMP". Unknown keys and facts the system does not offer
/// answer "NO_DATA".
///
/// "APPDATA" is the application-data folder, made when it does not exist:
/// "Corvane" in the user's local data folder ($XDG_DATA_HOME when it is
/// an absolute path, else ~/.local/share; on Windows the local
/// application-data folder), with
/// "/" separators. Every Corvane game gets the same folder, so a game
/// keeps its files there under names (or in a folder) of its own.
DynString platform_info(const DynString& key);
/// The variable's value, "" when unset; an empty name gives every
/// "name=value" entry, each followed by "\n".
DynString env_get(const DynString& name);
/// Sets a variable of this process; an empty value removes it.
void env_set(const DynString& name, const DynString& value);
/// Starts the command line; with wait non-zero, blocks until the program ends
/// and stores its exit status in exit_code. 1 when it started, 0 when not.
/// On Windows show is the show command the program starts with (0 hidden,
/// 1 normal, 2 minimised, 3 maximised, 10 the default; other values give
/// the default); on Linux programs open their windows as they choose and
/// it has no effect.
int run_program(const DynString& command, double wait, double show, double& exit_code);
/// Opens a document or address with the desktop's application for it.
void shell_open(const DynString& target);
/// Sleeps for milliseconds (negative: not at all) without handling messages.
void sleep_ms(double milliseconds);
/// @}

/// @name Reaching code by name
/// A game hands its named routines and its foreign functions over at
/// namespace scope in one of its source files (static initialisation runs
/// before start-up binds):
///
///     void on_pause() { ... }
///     const crv::CallByNameEntry call_table[] = {
///         {on_pause, "CRV_ON_PAUSE"},
///         {nullptr, nullptr},                  // the end of the table
///     };
///     crv::CallByNameTable call_table_registration(call_table);
///
///     double (*Cosine)(double) = nullptr;      // the slot the game calls through
///     crv::ForeignDeclaration cosine_declaration("libm.so.6", "cos", Cosine);
///
/// The run-time calls "CRV_ON_PAUSE", "CRV_ON_RESUME", "CRV_ON_QUIT" and
/// "CRV_WIN32_MSG" when the table has them. Start-up binds every declared
/// slot; a slot whose library or entry is missing stays null and the failure
/// is logged, never fatal. Libraries stay loaded until program end.
/// @{

/// One named routine of the game's table.
struct CallByNameEntry {
    void (*address)();  ///< the routine; null ends the table
    const char* name;   ///< its name, matched exactly (case matters)
};

/// Installs the program's one table, ended by an entry with a null address.
/// It is read, never copied: it must outlive the program (a static array).
void set_call_by_name_table(const CallByNameEntry* table);

/// Installs a table from a static initialiser.
struct CallByNameTable {
    /// set_call_by_name_table(table).
    explicit CallByNameTable(const CallByNameEntry* table) { set_call_by_name_table(table); }
};

/// Calls the routine of that exact name (case matters): 1 when found and
/// called, 0 when not. A missing name other than "CRV_ON_QUIT" and
/// "CRV_WIN32_MSG" sends a failure line to the debugger.
int call_by_name(const DynString& name);
/// The routine of that exact name in the game's table, or null (also when
/// no table is installed).
void (*find_by_name(const DynString& name))();

/// Declares a foreign function: slot points at the game's function-pointer
/// variable, which is set to null now and to the entry's address when
/// start-up binds it.
void foreign_declare_slot(const char* library, const char* entry, void* slot);

/// foreign_declare_slot for a typed function pointer.
template <typename F>
void foreign_declare(const char* library, const char* entry, F*& slot) {
    static_assert(std::is_function_v<F>, "a foreign slot is a function pointer");
    static_assert(sizeof(F*) == sizeof(void*));
    foreign_declare_slot(library, entry, &slot);
}

/// Declares a foreign function from a static initialiser.
struct ForeignDeclaration {
    /// foreign_declare(library, entry, slot).
    template <typename F>
    ForeignDeclaration(const char* library, const char* entry, F*& slot) {
        foreign_declare(library, entry, slot);
    }
};
/// @}

/// @}

}  // namespace crv
