// A small window with a line edit, for the desktop tests: it prints its text
// to standard output whenever the text changes, every click and every key
// press it receives, and can be placed and coloured so that a capture can recognise it.
#include <QApplication>
#include <QCommandLineParser>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdio>

namespace {
class InputReporter : public QObject
{
protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::MouseButtonPress && watched->isWidgetType()) {
            const QPoint at = static_cast<QMouseEvent *>(event)->globalPosition().toPoint();
            std::printf("click:%d,%d\n", at.x(), at.y());
            std::fflush(stdout);
        }
        // Once per key: where it reaches the window, before the widgets.
        if (event->type() == QEvent::KeyPress && watched->isWindowType()) {
            const auto *key = static_cast<QKeyEvent *>(event);
            std::printf("key:%s\n", QKeySequence(key->key()).toString().toUtf8().constData());
            std::fflush(stdout);
        }
        return false;
    }
};
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption rect(QStringLiteral("rect"), QStringLiteral("x,y,w,h (not --geometry: Qt takes that one)"), QStringLiteral("RECT"),
                                      QStringLiteral("100,100,400,120"));
    const QCommandLineOption color(QStringLiteral("color"), QStringLiteral("background"), QStringLiteral("NAME"),
                                   QStringLiteral("white"));
    parser.addOptions({rect, color});
    parser.process(app);
    InputReporter clicks;
    app.installEventFilter(&clicks);

    const QStringList area = parser.value(rect).split(QLatin1Char(','));
    QWidget window;
    window.setWindowTitle(QStringLiteral("quillwren-paste-target"));
    window.setStyleSheet(QStringLiteral("QWidget { background: %1; }").arg(parser.value(color)));
    auto *layout = new QVBoxLayout(&window);
    auto *edit = new QLineEdit(&window);
    layout->addWidget(edit);
    QObject::connect(edit, &QLineEdit::textChanged, [](const QString &text) {
        std::printf("text:%s\n", text.toUtf8().constData());
        std::fflush(stdout);
    });
    window.setGeometry(area.value(0).toInt(), area.value(1).toInt(), area.value(2).toInt(), area.value(3).toInt());
    window.show();
    window.activateWindow();
    edit->setFocus();
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}
