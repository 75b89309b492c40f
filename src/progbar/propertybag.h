#pragma once

#include <QList>
#include <QString>
#include <QVariant>

#include <optional>
#include <utility>

namespace quorlink::progbar {

// The stored properties of a control: keys with values, in the order they
// were written. Values are integers (qint64) or strings.
//
// As a text file each entry is one line "Key = value", the value a decimal
// integer or a quoted string with JSON escapes; blank lines and lines
// starting with '#' are ignored.
class PropertyBag
{
public:
    // Writes `value` unless it equals `defaultValue`, so a bag holds only
    // what differs from a new control. An existing key keeps its place.
    void writeProperty(const QString& key, const QVariant& value, const QVariant& defaultValue);
    // Writes unconditionally.
    void write(const QString& key, const QVariant& value);
    // The stored value, or `defaultValue` when the key is missing.
    QVariant readProperty(const QString& key, const QVariant& defaultValue) const;

    bool contains(const QString& key) const;
    QStringList keys() const;
    int size() const { return static_cast<int>(m_entries.size()); }
    bool isEmpty() const { return m_entries.isEmpty(); }

    QString toText() const;
    // Lines that cannot be understood are skipped (and logged).
    static PropertyBag fromText(const QString& text);

    bool saveToFile(const QString& path) const;
    // Nothing when the file cannot be read.
    static std::optional<PropertyBag> loadFromFile(const QString& path);

    friend bool operator==(const PropertyBag&, const PropertyBag&) = default;

private:
    QList<std::pair<QString, QVariant>> m_entries;
};

} // namespace quorlink::progbar
