// Program start: the application object, the main window (which checks for
// header.cfg, centres itself and starts the network), the hidden editor window,
// and the event loop.
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <QApplication>
#include <QByteArray>

#include "app/dialogs.h"
#include "app/locale_text.h"
#include "app/unit1.h"
#include "editor/unit2.h"
#include "measure/sockets.h"
#include "resources/icon.h"

namespace {

bool Set(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

// Qt aborts with several lines of plugin talk when there is no display at all; one line says it better.
bool DisplayAvailable()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && !platform.startsWith("xcb") && !platform.startsWith("wayland"))
        return true;
    return Set("DISPLAY") || Set("WAYLAND_DISPLAY");
}

}  // namespace

int main(int argc, char* argv[])
{
    using namespace kurvane::gui;

    const LocaleText localeText = LocaleText::FromEnvironment();
    if (!DisplayAvailable()) {
        std::fprintf(stderr, "kurvane: no display to open the window on (set DISPLAY, or start it with xvfb-run)\n");
        return EXIT_FAILURE;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kurvane"));
    QApplication::setDesktopFileName(QStringLiteral("kurvane"));
    QApplication::setWindowIcon(ProgramIcon());

    QtDialogs dialogs;
    const std::unique_ptr<kurvane::Sockets> sockets = kurvane::MakePosixSockets();
    TForm1 form1(*sockets, dialogs, localeText);
    TForm2 form2(form1, dialogs, localeText);
    form1.AttachEditor(form2);
    QObject::connect(&form1, &TForm1::EndRequested, &app, &QApplication::quit, Qt::QueuedConnection);

    form1.show();
    return app.exec();
}
