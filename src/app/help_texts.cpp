#include "help_texts.h"

#include "common/version.h"

#include <QCoreApplication>
#include <QDir>
#include <QStringList>

namespace zelvan {

QString aboutText() {
    const QStringList lines{
        QStringLiteral("Zelvan Engineering - In-Circuit Flash Programming Tools"),
        QString(),
        kAppTitle,
        QStringLiteral("Version ") + kAppVersion + QStringLiteral(" - ") + QStringLiteral("13.11.2007"),
        QString(),
        QStringLiteral("https://zelvan.example/programmer"),
        QString(),
        QStringLiteral("Copyright (C) 2007-2026 Zelvan Engineering, the Zelvan Programmer developers"),
        QString(),
    };
    QString text;
    for (const QString& line : lines)
        text += line + QLatin1Char('\n');
    return text;
}

QStringList readmeLocations() {
    const QDir programFolder(QCoreApplication::applicationDirPath());
    return {programFolder.filePath(QStringLiteral("readme.txt")),
            QDir::cleanPath(programFolder.filePath(QStringLiteral(ZELVAN_INSTALLED_README)))};
}

} // namespace zelvan
