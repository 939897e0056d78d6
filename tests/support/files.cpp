#include "files.h"

#include <QFile>
#include <QJsonDocument>

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
