#include "ui/WebPageBoxMessage.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <array>

namespace ui {
namespace {

using Kind = WebPageBoxMessage::Kind;

const std::array<std::pair<Kind, QLatin1String>, 4> kKindNames{{
    {Kind::Open, QLatin1String("open")},
    {Kind::Close, QLatin1String("close")},
    {Kind::Shown, QLatin1String("shown")},
    {Kind::Closed, QLatin1String("closed")},
}};

QJsonArray RectToJson(const QRect& rect) {
    return {rect.x(), rect.y(), rect.width(), rect.height()};
}

QRect RectFromJson(const QJsonValue& value) {
    const QJsonArray parts = value.toArray();
    if (parts.size() != 4) {
        return {};
    }
    return QRect(parts[0].toInt(), parts[1].toInt(), parts[2].toInt(), parts[3].toInt());
}

}  // namespace

QByteArray WebPageBoxMessage::ToLine() const {
    QJsonObject object;
    for (const auto& [named, name] : kKindNames) {
        if (named == kind) {
            object[QStringLiteral("message")] = name;
        }
    }
    object[QStringLiteral("key")] = static_cast<qint64>(key);
    switch (kind) {
        case Kind::Open:
            object[QStringLiteral("size")] = size == WebPageSize::Large ? "large" : "small";
            object[QStringLiteral("item")] = static_cast<qint64>(itemId);
            object[QStringLiteral("title")] = title;
            object[QStringLiteral("target")] = target;
            object[QStringLiteral("product")] = productUrl;
            if (!anchor.isNull()) {
                object[QStringLiteral("anchor")] = RectToJson(anchor);
            }
            break;
        case Kind::Shown:
            object[QStringLiteral("frame")] = RectToJson(frame);
            object[QStringLiteral("page")] = page.toString();
            break;
        case Kind::Invalid:
        case Kind::Close:
        case Kind::Closed:
            break;
    }
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

WebPageBoxMessage WebPageBoxMessage::FromLine(const QByteArray& line) {
    WebPageBoxMessage message;
    const QJsonObject object = QJsonDocument::fromJson(line).object();
    const QString name = object.value(QStringLiteral("message")).toString();
    for (const auto& [named, text] : kKindNames) {
        if (name == text) {
            message.kind = named;
        }
    }
    message.key = static_cast<std::uint32_t>(object.value(QStringLiteral("key")).toInteger());
    message.size = object.value(QStringLiteral("size")).toString() == QLatin1String("large")
                       ? WebPageSize::Large
                       : WebPageSize::Small;
    message.itemId = static_cast<std::uint32_t>(object.value(QStringLiteral("item")).toInteger());
    message.title = object.value(QStringLiteral("title")).toString();
    message.target = object.value(QStringLiteral("target")).toString();
    message.productUrl = object.value(QStringLiteral("product")).toString();
    message.anchor = RectFromJson(object.value(QStringLiteral("anchor")));
    message.frame = RectFromJson(object.value(QStringLiteral("frame")));
    message.page = QUrl(object.value(QStringLiteral("page")).toString(), QUrl::TolerantMode);
    return message;
}

}  // namespace ui
