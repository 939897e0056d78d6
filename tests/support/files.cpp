#include "files.h"

#include <QFile>
#include <QJsonDocument>
#include <QRandomGenerator>

#include <numeric>

namespace zelvan::test {

QString fixturePath(const char* name) {
    return QStringLiteral(ZELVAN_TEST_DATA "/") + QLatin1String(name);
}

QByteArray fixtureBytes(const char* name) {
    QFile file(fixturePath(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing test data %s", name);
    return file.readAll();
}

QString writeFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

QByteArray hexRecords(int address, const QByteArray& bytes) {
    QByteArray text;
    for (int offset = 0; offset < bytes.size(); offset += 16) {
        const QByteArray data = bytes.mid(offset, 16);
        QByteArray record =
            QByteArray::fromHex(
                QByteArray::number(0x1000000 * int(data.size()) | (address + offset) << 8, 16).rightJustified(8, '0')) +
            data;
        const char checksum = char(-std::accumulate(record.begin(), record.end(), 0));
        text += ':' + (record + checksum).toHex().toUpper() + '\n';
    }
    return text;
}

QByteArray writeRandomHexImage(const QString& path, int size, quint32 seed) {
    QRandomGenerator random(seed);
    QByteArray bytes;
    for (int i = 0; i < size; ++i)
        bytes.append(char(random.bounded(1, 256)));
    writeFile(path, hexRecords(0, bytes) + kHexEnd);
    return bytes;
}

QList<QJsonObject> jsonLines(const QString& path) {
    QFile file(path);
    QList<QJsonObject> objects;
    if (!file.open(QIODevice::ReadOnly))
        return objects;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (!line.isEmpty())
            objects.append(QJsonDocument::fromJson(line).object());
    }
    return objects;
}

} // namespace zelvan::test
