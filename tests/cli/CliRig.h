// SPDX-License-Identifier: GPL-3.0-or-later
// What the command-line tests share: a table-file dialog stand-in that saves to
// one fixed name without asking, and reading a whole file back.
#pragma once

#include "realtime/TableFileDialogs.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <memory>
#include <optional>

namespace vandrel::test {

class FixedUi : public TableFileUi {
public:
    explicit FixedUi(QString name) : name_(std::move(name)) {}
    QString askSaveFileName() override { return name_; }
    QString askOpenFileName() override { return {}; }
    std::optional<RangeChoice> askRange(int) override { return RangeChoice{}; }
    void showMessage(const QString &) override {}
    std::unique_ptr<TableFileProgress> showProgress(Work, int) override { return nullptr; }

private:
    QString name_;
};

inline QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace vandrel::test
