#include "PropertyList.h"

#include <QDateTime>
#include <QFile>
#include <QSaveFile>
#include <QTimeZone>
#include <plist/plist.h>

namespace Platform::PropertyList {
namespace {

// Seconds between 1970-01-01 and the property-list epoch 2001-01-01.
constexpr qint64 kEpochOffset = 978307200;

QVariant toVariant(plist_t node)
{
    switch (plist_get_node_type(node)) {
    case PLIST_DICT: {
        QVariantMap map;
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(node, &it);
        if (!it)
            return map;
        for (;;) {
            char *key = nullptr;
            plist_t value = nullptr;
            plist_dict_next_item(node, it, &key, &value);
            if (!key)
                break;
            map.insert(QString::fromUtf8(key), toVariant(value));
            free(key);
        }
        free(it);
        return map;
    }
    case PLIST_ARRAY: {
        QVariantList list;
        const uint32_t n = plist_array_get_size(node);
        for (uint32_t i = 0; i < n; ++i)
            list.append(toVariant(plist_array_get_item(node, i)));
        return list;
    }
    case PLIST_STRING: {
        char *s = nullptr;
        plist_get_string_val(node, &s);
        QString v = QString::fromUtf8(s ? s : "");
        free(s);
        return v;
    }
    case PLIST_BOOLEAN: {
        uint8_t b = 0;
        plist_get_bool_val(node, &b);
        return bool(b);
    }
    case PLIST_UINT: {
        uint64_t v = 0;
        plist_get_uint_val(node, &v);
        // libplist keeps negative integers as their 64-bit pattern.
        return qint64(v);
    }
    case PLIST_REAL: {
        double d = 0;
        plist_get_real_val(node, &d);
        return d;
    }
    case PLIST_DATE: {
        int32_t sec = 0, usec = 0;
        plist_get_date_val(node, &sec, &usec);
        return QDateTime::fromMSecsSinceEpoch((qint64(sec) + kEpochOffset) * 1000 + usec / 1000, QTimeZone::utc());
    }
    case PLIST_DATA: {
        char *d = nullptr;
        uint64_t len = 0;
        plist_get_data_val(node, &d, &len);
        QByteArray v(d, qsizetype(len));
        free(d);
        return v;
    }
    case PLIST_KEY: {
        char *s = nullptr;
        plist_get_key_val(node, &s);
        QString v = QString::fromUtf8(s ? s : "");
        free(s);
        return v;
    }
    default:
        return {};
    }
}

plist_t fromVariant(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::QVariantMap: {
        plist_t dict = plist_new_dict();
        const QVariantMap map = v.toMap();
        for (auto it = map.constBegin(); it != map.constEnd(); ++it)
            if (plist_t child = fromVariant(it.value()))
                plist_dict_set_item(dict, it.key().toUtf8().constData(), child);
        return dict;
    }
    case QMetaType::QVariantHash: {
        QVariantMap m;
        const QVariantHash h = v.toHash();
        for (auto it = h.constBegin(); it != h.constEnd(); ++it)
            m.insert(it.key(), it.value());
        return fromVariant(m);
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        plist_t arr = plist_new_array();
        for (const QVariant &item : v.toList())
            if (plist_t child = fromVariant(item))
                plist_array_append_item(arr, child);
        return arr;
    }
    case QMetaType::Bool:
        return plist_new_bool(v.toBool());
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar:
        return plist_new_uint(uint64_t(v.toLongLong()));
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
    case QMetaType::UChar:
        return plist_new_uint(v.toULongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return plist_new_real(v.toDouble());
    case QMetaType::QDateTime: {
        const qint64 ms = v.toDateTime().toMSecsSinceEpoch() - kEpochOffset * 1000;
        return plist_new_date(int32_t(ms / 1000), int32_t((ms % 1000) * 1000));
    }
    case QMetaType::QByteArray: {
        const QByteArray b = v.toByteArray();
        return plist_new_data(b.constData(), uint64_t(b.size()));
    }
    default:
        if (!v.isValid())
            return nullptr;
        return plist_new_string(v.toString().toUtf8().constData());
    }
}

} // namespace

QVariant fromNode(plist_t node) { return node ? toVariant(node) : QVariant(); }

QVariant fromData(const QByteArray &data)
{
    if (data.isEmpty())
        return {};
    plist_t root = nullptr;
    if (plist_is_binary(data.constData(), uint32_t(data.size())))
        plist_from_bin(data.constData(), uint32_t(data.size()), &root);
    else
        plist_from_xml(data.constData(), uint32_t(data.size()), &root);
    if (!root)
        return {};
    QVariant v = toVariant(root);
    plist_free(root);
    return v;
}

QVariant readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return fromData(f.readAll());
}

std::optional<QVariantMap> readDictionary(const QString &path)
{
    const QVariant v = readFile(path);
    if (v.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    return v.toMap();
}

QByteArray toXml(const QVariant &value)
{
    plist_t root = fromVariant(value);
    if (!root)
        return {};
    char *xml = nullptr;
    uint32_t len = 0;
    plist_to_xml(root, &xml, &len);
    QByteArray out(xml, qsizetype(len));
    plist_to_xml_free(xml);
    plist_free(root);
    return out;
}

bool writeFile(const QString &path, const QVariant &value, bool atomically)
{
    const QByteArray xml = toXml(value);
    if (xml.isEmpty())
        return false;
    if (atomically) {
        QSaveFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            return false;
        f.write(xml);
        return f.commit();
    }
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(xml) == xml.size();
}

} // namespace Platform::PropertyList
