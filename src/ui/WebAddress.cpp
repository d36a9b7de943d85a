#include "ui/WebAddress.h"

#include <QRegularExpression>
#include <QUrl>

namespace ui {
namespace {

QString WithoutTrailingSlashes(QString base) {
    while (base.endsWith(u'/')) {
        base.chop(1);
    }
    return base;
}

}  // namespace

QString CatalogWebAddress(const QString& address) {
    const QString text = address.trimmed();
    if (text.isEmpty() || text.startsWith(u'/') || text.startsWith(u'\\')) {
        return {};
    }
    static const QRegularExpression schemePattern(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]*):"));
    const QRegularExpressionMatch scheme = schemePattern.match(text);
    if (!scheme.hasMatch()) {
        return QStringLiteral("http://") + text;
    }
    const QString name = scheme.captured(1);
    if (name.compare(u"http", Qt::CaseInsensitive) == 0 ||
        name.compare(u"https", Qt::CaseInsensitive) == 0) {
        return text;
    }
    // "example.com:8080/x" is a host with a port, not a scheme: a port starts with a digit.
    const QString rest = text.mid(scheme.capturedLength());
    if (!rest.isEmpty() && rest.front().isDigit()) {
        return QStringLiteral("http://") + text;
    }
    return {};
}

QString LoadingPageAddress(const QString& productUrl, const QString& target) {
    QString query = target;
    query.remove(QStringLiteral("http://"), Qt::CaseSensitive);
    return WithoutTrailingSlashes(productUrl) + QStringLiteral("/load/LoadingPage.htm?q=") + query;
}

QString LoadingPageBrowserAddress(const QString& productUrl, const QString& target) {
    const QUrl page(LoadingPageAddress(productUrl, target), QUrl::TolerantMode);
    return CatalogWebAddress(page.toString(QUrl::FullyEncoded));
}

QString IntroductionAddress(const QString& downloadUrl, std::uint32_t itemId) {
    return WithoutTrailingSlashes(downloadUrl) + QStringLiteral("/rv_intro.php?aid=") +
           QString::number(itemId);
}

QString ItemCaption(const catalog::GameList& games, const catalog::ToolRecord& item) {
    const QString title = QString::fromStdString(item.title);
    const catalog::GameRecord* game = catalog::FindGame(games, item.gameId);
    if (game == nullptr) {
        return title;
    }
    return QString::fromStdString(game->title) + QStringLiteral("： ") + title;
}

}  // namespace ui
