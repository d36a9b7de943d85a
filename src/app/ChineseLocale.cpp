#include "app/ChineseLocale.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <memory>

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

QStringList ChineseLocale::Install(QCoreApplication& app) {
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    const QString folders[] = {QCoreApplication::applicationDirPath(),
                               QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
    QStringList missing;
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
        } else if (catalog.needed) {
            missing.append(name + QStringLiteral(".qm"));
        }
    }
    return missing;
}

}  // namespace app
