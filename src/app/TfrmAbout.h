// SPDX-License-Identifier: GPL-3.0-or-later
// The About box: the program's name and the version the build compiled in.
#pragma once

#include <QDialog>

class QLabel;

namespace vandrel {

class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget *parent = nullptr);
    QString versionText() const;

private:
    QLabel *Label2 = nullptr;
};

} // namespace vandrel
