// tolvane_screenshots <output folder> [name...]
//
// Shows every registered window (or only the named ones) on the running
// display, one after the other, and saves a PNG of each. scripts/screenshots.sh
// runs it under Xvfb.
#include "screenshot_tool.h"

#include "editor_config.h"
#include "startup.h"
#include "tolvane/editor_state.h"

#include <QApplication>
#include <QDir>
#include <QMap>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

namespace {

QMap<QString, ShotMaker>& Shots() {
    static QMap<QString, ShotMaker> shots;
    return shots;
}

}  // namespace

bool RegisterShot(const char* name, ShotMaker make) {
    Shots().insert(QString::fromLatin1(name), std::move(make));
    return true;
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) {
        std::fprintf(stderr, "usage: tolvane_screenshots <output folder> [name...]\n");
        return 2;
    }
    const QDir out(args.first());
    if (!QDir().mkpath(out.absolutePath())) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(out.absolutePath()));
        return 2;
    }
    const QStringList wanted = args.mid(1);

    // A configuration of its own, so that the pictures do not depend on the
    // caller's folder.
    QTemporaryDir configDir;
    PinEditorConfigFolder(configDir.path());

    int saved = 0;
    int failed = 0;
    for (auto it = Shots().cbegin(); it != Shots().cend(); ++it) {
        if (!wanted.isEmpty() && !wanted.contains(it.key())) continue;
        EditorState state;
        PrepareEditor(state);
        QWidget* window = it.value()(state);
        if (!window) {
            ++failed;
            continue;
        }
        window->show();
        if (!QTest::qWaitForWindowExposed(window))
            std::fprintf(stderr, "%s was not shown in time\n", qPrintable(it.key()));
        window->activateWindow();
        QTest::qWait(150);
        const QString path = out.filePath(it.key() + QStringLiteral(".png"));
        if (window->grab().save(path)) {
            std::printf("%s\n", qPrintable(path));
            ++saved;
        } else {
            std::fprintf(stderr, "cannot save %s\n", qPrintable(path));
            ++failed;
        }
        delete window;
    }
    std::printf("%d pictures saved\n", saved);
    return failed == 0 && saved > 0 ? 0 : 1;
}
