// SPDX-License-Identifier: GPL-3.0-or-later
// Option › Publishing…: the MQTT settings of the desktop program's runs. A
// thin dialog: it shows settings and returns them; the caller applies them.
#pragma once

#include "app/DesktopPublishing.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;

namespace vandrel {

class TfrmPublishing : public QDialog {
    Q_OBJECT
public:
    explicit TfrmPublishing(const PublishingSettings &settings, QWidget *parent = nullptr);
    PublishingSettings settings() const;

    void accept() override;

private:
    QLineEdit *fileEdit(const QString &name, const QString &text, QWidget *&row);

    QCheckBox *chkEnabled = nullptr;
    QLineEdit *edtHost = nullptr;
    QSpinBox *spnPort = nullptr;
    QLineEdit *edtClientId = nullptr;
    QComboBox *cmbProtocol = nullptr;
    QLineEdit *edtUsername = nullptr;
    QLineEdit *edtPasswordFile = nullptr;
    QLineEdit *edtCaFile = nullptr;
    QLineEdit *edtCertFile = nullptr;
    QLineEdit *edtKeyFile = nullptr;
    QLineEdit *edtPrefix = nullptr;
    QCheckBox *chkDiscovery = nullptr;
    QLineEdit *edtDiscoveryPrefix = nullptr;
    QLineEdit *edtSite = nullptr;
    QLineEdit *edtMeter = nullptr;
};

} // namespace vandrel
