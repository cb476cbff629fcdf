// kelvory_grab_window <X window id> <file.png>
// Saves what an X window shows, as the X server holds it, to a PNG file. The end-to-end
// test uses it for its screenshots, so that no image tool has to be installed for them.
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <cstdio>

int main(int argc, char *argv[])
{
    // Only an X server has the window; offscreen or Wayland would save an empty picture.
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 3) {
        std::fprintf(stderr, "usage: kelvory_grab_window <window id> <file.png>\n");
        return 2;
    }
    bool ok = false;
    const WId window = arguments.at(1).toULongLong(&ok, 0);
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!ok || !screen) {
        std::fprintf(stderr, "kelvory_grab_window: no window id or no screen\n");
        return 2;
    }
    const QPixmap picture = screen->grabWindow(window);
    if (picture.isNull() || picture.width() < 2 || picture.height() < 2) {
        std::fprintf(stderr, "kelvory_grab_window: window %s could not be read\n", qPrintable(arguments.at(1)));
        return 1;
    }
    if (!picture.save(arguments.at(2), "PNG")) {
        std::fprintf(stderr, "kelvory_grab_window: %s cannot be written\n", qPrintable(arguments.at(2)));
        return 1;
    }
    return 0;
}
