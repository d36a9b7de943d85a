#include "app/ChineseLocale.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <memory>

#include "job/Log.h"

namespace app {
namespace {

struct Catalog {
    const char* name;
    // Without it, windows that every build of the launcher shows stay English.
    bool needed;
};

// qtbase for the widgets and the standard dialogs; qtwebengine for the web view's menus,
// which a launcher built without web boxes (as on Windows) neither has nor needs.
const Catalog kCatalogs[] = {{"qtbase_zh_CN", true}, {"qtwebengine_zh_CN", false}};

}  // namespace

void ChineseLocale::Install(QCoreApplication& app) {
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    const QString folders[] = {QCoreApplication::applicationDirPath(),
                               QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
    for (const Catalog& catalog : kCatalogs) {
        auto translator = std::make_unique<QTranslator>();
        const QString name = QString::fromLatin1(catalog.name);
        bool loaded = false;
        for (const QString& folder : folders) {
            loaded = loaded || translator->load(name, folder);
        }
        if (loaded) {
            translator->setParent(&app);
            app.installTranslator(translator.release());
        } else {
            job::Log::Write(catalog.needed ? job::Log::Level::Warning : job::Log::Level::Debug,
                            "Qt's catalog " + name.toStdString() + ".qm was not found");
        }
    }
}

}  // namespace app
