// SPDX-License-Identifier: GPL-3.0-or-later
// What the main-window tests share: a settings file of their own and a user
// who answers the file dialogs (header only).
#pragma once

#include "app/TfrmMain.h"
#include "realtime/TableFileDialogs.h"

#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>

namespace vandrel::test {

struct SettingsFile {
    QTemporaryDir dir;
    QSettings settings{dir.filePath("vandrel.ini"), QSettings::IniFormat};

    // Options for a window that uses this file and only the given devices.
    MainOptions options(const QStringList &ports = {})
    {
        MainOptions o;
        o.systemPorts = false;
        o.settings = &settings;
        o.preferredPorts = ports;
        return o;
    }
};

// Plays the user at the file dialogs; the flows and the file work are real.
class AnsweringUi : public TableFileUi {
public:
    QString file;
    QStringList *messages = nullptr;
    QString askSaveFileName() override { return file; }
    QString askOpenFileName() override { return file; }
    std::optional<RangeChoice> askRange(int) override { return RangeChoice{}; }
    void showMessage(const QString &text) override { *messages << text; }
    std::unique_ptr<TableFileProgress> showProgress(Work, int) override { return nullptr; }
};

} // namespace vandrel::test
