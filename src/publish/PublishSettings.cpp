// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a secret from its own file.
#include "publish/PublishSettings.h"

#include <QFile>

namespace vandrel::publish {

QString readSecretFile(const QString &path, QString &error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return {};
    }
    QByteArray line = file.readLine(4096);
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}

} // namespace vandrel::publish
