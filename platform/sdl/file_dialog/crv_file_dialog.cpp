// crv_file_dialog: the run-time's open and save dialogs, shown by a small
// program of their own so that the toolkit of the dialog never shares an
// event loop with the game window.
//
//   crv_file_dialog open|save FOLDER [DESCRIPTION PATTERNS]...
//
// PATTERNS is one or more patterns separated by ";". The chosen path is
// written to standard output (its bytes, nothing after them) and the exit
// status is 0; a cancelled dialog exits with 1, a dialog that cannot be
// shown (no display) with 2.
#include <gtk/gtk.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// Patterns from game programs are written for a file system that ignores
// case: every letter matches either case.
std::string any_case(const std::string& pattern) {
    std::string out;
    for (char c : pattern) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (std::isalpha(u) != 0) {
            out += '[';
            out += static_cast<char>(std::tolower(u));
            out += static_cast<char>(std::toupper(u));
            out += ']';
        } else {
            out += c;
        }
    }
    return out;
}

void add_filter(GtkFileChooser* chooser, const char* description, const char* patterns) {
    GtkFileFilter* filter = gtk_file_filter_new();
    gtk_file_filter_set_name(filter, description);
    std::string list = patterns;
    std::size_t begin = 0;
    while (begin <= list.size()) {
        std::size_t end = list.find(';', begin);
        if (end == std::string::npos) end = list.size();
        std::string one = list.substr(begin, end - begin);
        const std::size_t first = one.find_first_not_of(' ');
        const std::size_t last = one.find_last_not_of(' ');
        if (first != std::string::npos) gtk_file_filter_add_pattern(filter, any_case(one.substr(first, last - first + 1)).c_str());
        begin = end + 1;
    }
    gtk_file_chooser_add_filter(chooser, filter);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || (std::strcmp(argv[1], "open") != 0 && std::strcmp(argv[1], "save") != 0)) {
        std::fprintf(stderr, "usage: crv_file_dialog open|save FOLDER [DESCRIPTION PATTERNS]...\n");
        return 2;
    }
    // The accessibility bus is of no use to a single dialog and complains
    // loudly where there is none.
    g_setenv("NO_AT_BRIDGE", "1", FALSE);
    // Without a session bus the chooser's settings cannot be stored; keep
    // them in memory instead of failing on every change.
    if (g_getenv("DBUS_SESSION_BUS_ADDRESS") == nullptr) g_setenv("GSETTINGS_BACKEND", "memory", FALSE);
    if (!gtk_init_check(&argc, &argv)) return 2;

    const bool open = std::strcmp(argv[1], "open") == 0;
    GtkWidget* dialog = gtk_file_chooser_dialog_new(
        open ? "Open" : "Save As", nullptr, open ? GTK_FILE_CHOOSER_ACTION_OPEN : GTK_FILE_CHOOSER_ACTION_SAVE,
        "_Cancel", GTK_RESPONSE_CANCEL, open ? "_Open" : "_Save", GTK_RESPONSE_ACCEPT, nullptr);
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
    gtk_file_chooser_set_local_only(chooser, TRUE);
    gtk_file_chooser_set_do_overwrite_confirmation(chooser, FALSE);
    if (argv[2][0] != 0) gtk_file_chooser_set_current_folder(chooser, argv[2]);
    for (int i = 3; i + 1 < argc; i += 2) add_filter(chooser, argv[i], argv[i + 1]);
    gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
    gtk_window_present(GTK_WINDOW(dialog));

    int status = 1;
    if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
        if (gchar* name = gtk_file_chooser_get_filename(chooser)) {
            std::fwrite(name, 1, std::strlen(name), stdout);
            std::fflush(stdout);
            g_free(name);
            status = 0;
        }
    }
    gtk_widget_destroy(dialog);
    while (gtk_events_pending()) gtk_main_iteration();
    return status;
}
