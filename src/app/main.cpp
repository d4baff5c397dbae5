// The process: the real desktop, then the application object's run.
#include "app/translucent_app.h"
#include "platform/backend/gtk/gtk_desktop.h"

CTranslucentApp theApp;

int main(int argc, char** argv) {
    auto desktop = gtkdesk::InitDesktop(&argc, &argv);
    return AfxWinMain();
}
