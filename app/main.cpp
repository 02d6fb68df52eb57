// The qv program: its command line, then the framework's message loop around the
// application object.
#include "app/CQVApp.h"
#include "app/QvCommandLine.h"
#include "app/StartPlace.h"
#include "resources/Version.h"

#include <QApplication>
#include <QDir>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr char kNoDisplay[] =
    "qv: needs a graphical display (DISPLAY or WAYLAND_DISPLAY); qvsearch searches from a terminal (qvsearch --help)\n";

QtMessageHandler g_qtHandler = nullptr;

// While the application object connects to the display: the platform plugin's
// complaints (several lines, then an abort) become the one line above.
void startUpMessages(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtFatalMsg) {
        std::fputs(kNoDisplay, stderr);
        std::_Exit(1);
    }
    if (context.category && QByteArray(context.category).startsWith("qt.qpa."))
        return;
    g_qtHandler(type, context, message);
}

bool displayNamed()
{
    // A platform the user names (offscreen, vnc, ...) needs no display variable.
    return qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

} // namespace

int main(int argc, char* argv[])
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    qv::QvCommandLine commandLine;
    QString error;
    if (!qv::QvCommandLine::parse(args, QDir::currentPath(), commandLine, error)) {
        std::fprintf(stderr, "qv: %s\n", error.toLocal8Bit().constData());
        return 2;
    }
    if (commandLine.help) {
        std::fputs(qv::QvCommandLine::usage(), stdout);
        return 0;
    }
    if (commandLine.version) {
        std::printf("qv %s\n", qv::kVersion);
        return 0;
    }
    if (!displayNamed()) {
        std::fputs(kNoDisplay, stderr);
        return 1;
    }
    if (commandLine.extraPlaces)
        std::fputs("qv: one place at a time: the first is opened\n", stderr);

    // Qt reads options of its own from the arguments (-style, -display, ...): it gets
    // none, so that every argument means what qv's help says.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    g_qtHandler = qInstallMessageHandler(startUpMessages);
    QApplication application(qtArgc, qtArgv);
    qInstallMessageHandler(g_qtHandler);
    // Desktops match the window to its desktop entry (icon, name) by this.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.Quendle"));

    qv::CQVApp app;
    if (commandLine.hasPlace)
        app.setStartPlace(qv::StartPlace::fromArgument(commandLine.place, QDir::currentPath()));
    if (!app.initInstance())
        return 1;
    const int status = QApplication::exec();
    app.exitInstance();
    return status;
}
