#include "propertybag.h"

#include "progbarlogging.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QSaveFile>

#include <algorithm>

namespace quorlink::progbar {

namespace {

bool isText(const QVariant& value)
{
    return value.metaType().id() == QMetaType::QString;
}

QString encodeValue(const QVariant& value)
{
    if (isText(value)) {
        const QByteArray json =
            QJsonDocument(QJsonArray{value.toString()}).toJson(QJsonDocument::Compact);
        return QString::fromUtf8(json.mid(1, json.size() - 2)); // strip [ ]
    }
    return QString::number(value.toLongLong());
}

std::optional<QVariant> decodeValue(const QString& text)
{
    if (text.startsWith(QLatin1Char('"'))) {
        const QJsonDocument document =
            QJsonDocument::fromJson(QByteArray("[") + text.toUtf8() + QByteArray("]"));
        if (!document.isArray() || document.array().size() != 1 ||
            !document.array().at(0).isString())
            return std::nullopt;
        return QVariant(document.array().at(0).toString());
    }
    bool ok = false;
    const qlonglong number = text.toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return QVariant(number);
}

} // namespace

void PropertyBag::writeProperty(const QString& key, const QVariant& value,
                                const QVariant& defaultValue)
{
    if (value == defaultValue)
        return;
    write(key, value);
}

void PropertyBag::write(const QString& key, const QVariant& value)
{
    const auto existing = std::find_if(m_entries.begin(), m_entries.end(),
                                       [&](const auto& entry) { return entry.first == key; });
    if (existing != m_entries.end())
        existing->second = value;
    else
        m_entries.append({key, value});
}

QVariant PropertyBag::readProperty(const QString& key, const QVariant& defaultValue) const
{
    for (const auto& [entryKey, value] : m_entries) {
        if (entryKey == key)
            return value;
    }
    return defaultValue;
}

bool PropertyBag::contains(const QString& key) const
{
    return std::any_of(m_entries.begin(), m_entries.end(),
                       [&](const auto& entry) { return entry.first == key; });
}

QStringList PropertyBag::keys() const
{
    QStringList result;
    for (const auto& entry : m_entries)
        result.append(entry.first);
    return result;
}

QString PropertyBag::toText() const
{
    QString text;
    for (const auto& [key, value] : m_entries)
        text += key + QStringLiteral(" = ") + encodeValue(value) + QLatin1Char('\n');
    return text;
}

PropertyBag PropertyBag::fromText(const QString& text)
{
    PropertyBag bag;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype number = 0; number < lines.size(); ++number) {
        const QString line = lines.at(number).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype separator = line.indexOf(QLatin1Char('='));
        const QString key = line.left(separator).trimmed();
        const auto value = separator > 0 ? decodeValue(line.mid(separator + 1).trimmed())
                                         : std::optional<QVariant>();
        if (key.isEmpty() || !value) {
            qCWarning(lcProgBar) << "skipping unreadable property line" << number + 1;
            continue;
        }
        bag.write(key, *value);
    }
    return bag;
}

bool PropertyBag::saveToFile(const QString& path) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    file.write(toText().toUtf8());
    return file.commit();
}

std::optional<PropertyBag> PropertyBag::loadFromFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return std::nullopt;
    return fromText(QString::fromUtf8(file.readAll()));
}

} // namespace quorlink::progbar
