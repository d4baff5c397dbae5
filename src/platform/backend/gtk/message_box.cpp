#include "platform/backend/gtk/message_box.h"

#include "platform/win/constants.h"

namespace gtkdesk {

int RunMessageBox(GtkWindow* parent, const std::string& textUtf8, const std::string& captionUtf8,
                  UINT type) {
    const bool yesNo = (type & 0x0F) == MB_YESNO;
    GtkWidget* dialog = gtk_message_dialog_new(
        parent, GtkDialogFlags(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
        GTK_MESSAGE_OTHER, GTK_BUTTONS_NONE, "%s", textUtf8.c_str());
    gtk_window_set_title(GTK_WINDOW(dialog), captionUtf8.c_str());
    if (!parent) gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
    gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
    // Wide enough for the caption to be read in the title bar.
    gtk_window_set_default_size(GTK_WINDOW(dialog), 280, -1);
    if (yesNo) {
        // Mnemonics keep the answers reachable from the keyboard (Alt+Y / Alt+N, or Y / N).
        gtk_dialog_add_button(GTK_DIALOG(dialog), "\u662f(_Y)", IDYES);
        gtk_dialog_add_button(GTK_DIALOG(dialog), "\u5426(_N)", IDNO);
        gtk_dialog_set_default_response(GTK_DIALOG(dialog), IDYES);
    } else {
        gtk_dialog_add_button(GTK_DIALOG(dialog), "\u786e\u5b9a", IDOK);  // "OK"
        gtk_dialog_set_default_response(GTK_DIALOG(dialog), IDOK);
    }
    const int response = gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
    if (yesNo) return response == IDYES ? IDYES : IDNO;
    return IDOK;
}

}  // namespace gtkdesk
