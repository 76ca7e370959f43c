#include "lineformat.h"

#include <QDateTime>
#include <QSet>

namespace LineFormat {

QByteArray timestamp()
{
    return timestamp(QDateTime::currentMSecsSinceEpoch());
}

QByteArray timestamp(qint64 now)
{
    // Formatting a date costs far more than a report takes to decode: the text up to the
    // seconds is kept while the second lasts.
    static qint64 cachedSecond = -1;
    static QByteArray cachedPrefix;
    const qint64 second = now / 1000;
    if (second != cachedSecond) {
        cachedSecond = second;
        cachedPrefix = QDateTime::fromSecsSinceEpoch(second, Qt::UTC).toString(Qt::ISODate).toLatin1();
        cachedPrefix.chop(1); // the "Z"; it follows the milliseconds
    }
    const int ms = int(now % 1000);
    QByteArray text = cachedPrefix;
    text += '.';
    text += char('0' + ms / 100);
    text += char('0' + ms / 10 % 10);
    text += char('0' + ms % 10);
    text += 'Z';
    return text;
}

QByteArray csvField(const QString &text)
{
    QByteArray bytes = text.toUtf8();
    if (bytes.contains(',') || bytes.contains('"') || bytes.contains('\n') || bytes.contains('\r')) {
        bytes.replace('"', "\"\"");
        bytes.prepend('"');
        bytes.append('"');
    }
    return bytes;
}

QByteArray jsonString(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    QByteArray json;
    json.reserve(bytes.size() + 2);
    json += '"';
    for (const char c : bytes) {
        switch (c) {
        case '"':
            json += "\\\"";
            break;
        case '\\':
            json += "\\\\";
            break;
        case '\n':
            json += "\\n";
            break;
        case '\r':
            json += "\\r";
            break;
        case '\t':
            json += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                static const char hex[] = "0123456789abcdef";
                json += "\\u00";
                json += hex[(c >> 4) & 0xf];
                json += hex[c & 0xf];
            } else {
                json += c;
            }
        }
    }
    json += '"';
    return json;
}

QStringList uniqueNames(const QStringList &names)
{
    QStringList unique;
    QSet<QString> taken;
    for (const QString &name : names) {
        QString candidate = name;
        for (int n = 2; taken.contains(candidate); ++n)
            candidate = name + QLatin1Char('#') + QString::number(n);
        taken.insert(candidate);
        unique << candidate;
    }
    return unique;
}

QByteArray jsonObject(const QStringList &names, const QStringList &texts)
{
    QByteArray json = "{";
    for (int i = 0; i < texts.size(); ++i) {
        if (i > 0)
            json += ',';
        json += jsonString(names.value(i));
        json += ':';
        json += jsonString(texts.at(i));
    }
    json += '}';
    return json;
}

} // namespace LineFormat
