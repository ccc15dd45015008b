// SPDX-License-Identifier: GPL-3.0-or-later
// The publishing dialog.
#include "app/TfrmPublishing.h"

#include "platform/MessageBoxes.h"
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace vandrel {

QLineEdit *TfrmPublishing::fileEdit(const QString &name, const QString &text, QWidget *&row)
{
    row = new QWidget(this);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *edit = new QLineEdit(text, row);
    edit->setObjectName(name);
    auto *browse = new QPushButton(QStringLiteral("..."), row);
    browse->setObjectName(name + QStringLiteral("Browse"));
    browse->setFixedWidth(32);
    connect(browse, &QPushButton::clicked, this, [this, edit] {
        const QString file = QFileDialog::getOpenFileName(this, QString(), edit->text());
        if (!file.isEmpty())
            edit->setText(file);
    });
    layout->addWidget(edit);
    layout->addWidget(browse);
    return edit;
}

TfrmPublishing::TfrmPublishing(const PublishingSettings &s, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmPublishing"));
    setWindowTitle(QStringLiteral("Publishing"));
    auto *top = new QVBoxLayout(this);
    chkEnabled = new QCheckBox(QStringLiteral("&Publish each sampled row to an MQTT broker"), this);
    chkEnabled->setObjectName(QStringLiteral("chkEnabled"));
    chkEnabled->setChecked(s.enabled);
    top->addWidget(chkEnabled);
    auto *form = new QFormLayout;
    top->addLayout(form);

    edtHost = new QLineEdit(s.mqtt.host, this);
    edtHost->setObjectName(QStringLiteral("edtHost"));
    form->addRow(QStringLiteral("&Broker host:"), edtHost);
    spnPort = new QSpinBox(this);
    spnPort->setObjectName(QStringLiteral("spnPort"));
    spnPort->setRange(0, 65535);
    spnPort->setSpecialValueText(QStringLiteral("default (1883, TLS 8883)"));
    spnPort->setValue(s.mqtt.port);
    form->addRow(QStringLiteral("P&ort:"), spnPort);
    cmbProtocol = new QComboBox(this);
    cmbProtocol->setObjectName(QStringLiteral("cmbProtocol"));
    cmbProtocol->addItems({QStringLiteral("MQTT 3.1.1"), QStringLiteral("MQTT 5")});
    cmbProtocol->setCurrentIndex(s.mqtt.protocol == 5 ? 1 : 0);
    form->addRow(QStringLiteral("Pro&tocol:"), cmbProtocol);
    edtClientId = new QLineEdit(s.mqtt.clientId, this);
    edtClientId->setObjectName(QStringLiteral("edtClientId"));
    edtClientId->setPlaceholderText(QStringLiteral("vandrel-desktop-<host name>"));
    form->addRow(QStringLiteral("&Client id:"), edtClientId);
    edtUsername = new QLineEdit(s.mqtt.username, this);
    edtUsername->setObjectName(QStringLiteral("edtUsername"));
    form->addRow(QStringLiteral("&User name:"), edtUsername);
    QWidget *row = nullptr;
    edtPasswordFile = fileEdit(QStringLiteral("edtPasswordFile"), s.mqtt.passwordFile, row);
    edtPasswordFile->setToolTip(QStringLiteral("A file whose first line is the password; the settings keep no password."));
    form->addRow(QStringLiteral("Pass&word file:"), row);
    edtCaFile = fileEdit(QStringLiteral("edtCaFile"), s.mqtt.caFile, row);
    edtCaFile->setPlaceholderText(QStringLiteral("none: no TLS"));
    form->addRow(QStringLiteral("TLS C&A file:"), row);
    edtCertFile = fileEdit(QStringLiteral("edtCertFile"), s.mqtt.certFile, row);
    form->addRow(QStringLiteral("Client certi&ficate:"), row);
    edtKeyFile = fileEdit(QStringLiteral("edtKeyFile"), s.mqtt.keyFile, row);
    form->addRow(QStringLiteral("Client &key:"), row);
    edtPrefix = new QLineEdit(s.mqtt.prefix, this);
    edtPrefix->setObjectName(QStringLiteral("edtPrefix"));
    form->addRow(QStringLiteral("Topic p&refix:"), edtPrefix);
    chkDiscovery = new QCheckBox(QStringLiteral("&Home automation discovery under"), this);
    chkDiscovery->setObjectName(QStringLiteral("chkDiscovery"));
    chkDiscovery->setChecked(s.mqtt.discovery);
    edtDiscoveryPrefix = new QLineEdit(s.mqtt.discoveryPrefix, this);
    edtDiscoveryPrefix->setObjectName(QStringLiteral("edtDiscoveryPrefix"));
    form->addRow(chkDiscovery, edtDiscoveryPrefix);
    edtSite = new QLineEdit(s.site, this);
    edtSite->setObjectName(QStringLiteral("edtSite"));
    form->addRow(QStringLiteral("&Site:"), edtSite);
    edtMeter = new QLineEdit(s.meter, this);
    edtMeter->setObjectName(QStringLiteral("edtMeter"));
    form->addRow(QStringLiteral("&Meter name:"), edtMeter);

    auto *note = new QLabel(QStringLiteral("Rows wait on the disk while the broker is away and are sent when it is back."), this);
    note->setWordWrap(true);
    top->addWidget(note);
    setMinimumWidth(560);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &TfrmPublishing::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TfrmPublishing::reject);
    top->addWidget(buttons);
}

PublishingSettings TfrmPublishing::settings() const
{
    PublishingSettings s;
    s.enabled = chkEnabled->isChecked();
    s.mqtt.enabled = s.enabled;
    s.mqtt.host = edtHost->text().trimmed();
    s.mqtt.port = spnPort->value();
    s.mqtt.protocol = cmbProtocol->currentIndex() == 1 ? 5 : 4;
    s.mqtt.clientId = edtClientId->text().trimmed();
    s.mqtt.username = edtUsername->text();
    s.mqtt.passwordFile = edtPasswordFile->text().trimmed();
    s.mqtt.caFile = edtCaFile->text().trimmed();
    s.mqtt.certFile = edtCertFile->text().trimmed();
    s.mqtt.keyFile = edtKeyFile->text().trimmed();
    s.mqtt.prefix = edtPrefix->text().trimmed();
    s.mqtt.discovery = chkDiscovery->isChecked();
    s.mqtt.discoveryPrefix = edtDiscoveryPrefix->text().trimmed();
    s.site = edtSite->text().trimmed();
    s.meter = edtMeter->text().trimmed();
    return s;
}

void TfrmPublishing::accept()
{
    const QString problem = settings().problem();
    if (!problem.isEmpty()) {
        showMessageBox(this, MessageKind::Warning, problem);
        return;
    }
    QDialog::accept();
}

} // namespace vandrel
