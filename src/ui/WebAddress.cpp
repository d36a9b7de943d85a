#include "ui/WebAddress.h"

#include <QRegularExpression>

namespace ui {

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

}  // namespace ui
