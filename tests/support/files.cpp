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

QByteArray writeRandomHexImage(const QString& path, int size, quint32 seed) {
    QRandomGenerator random(seed);
    QByteArray bytes;
    QByteArray text;
    for (int address = 0; address < size; address += 16) {
        QByteArray record = QByteArray::fromHex(QByteArray::number(0x10000000 | address << 8, 16)); // 16 data bytes
        for (int i = 0; i < 16; ++i)
            record.append(char(random.bounded(1, 256)));
        bytes += record.mid(4);
        const char checksum = char(-std::accumulate(record.begin(), record.end(), 0));
        text += ':' + (record + checksum).toHex().toUpper() + '\n';
    }
    writeFile(path, text + ":00000001FF\n");
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
