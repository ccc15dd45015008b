// SPDX-License-Identifier: GPL-3.0-or-later
// Every message box of the program goes through here, so all carry the same
// title and an icon that says whether something failed.
#pragma once

#include <QMessageBox>
#include <QString>

namespace vandrel {

inline const QString kMessageTitle = QStringLiteral("Vandrel");

// Information: something to know; Warning: something could not be done and
// nothing was lost; Error: something failed that the user must act on.
enum class MessageKind { Information, Warning, Error };

QMessageBox::Icon messageIcon(MessageKind kind);

// Shows `text` with an OK button and waits for it.
void showMessageBox(QWidget *parent, MessageKind kind, const QString &text);

// Asks `question` with `buttons` (a question mark as its icon); returns the
// button pressed, Cancel or No when the box was closed some other way.
QMessageBox::StandardButton askQuestionBox(QWidget *parent, const QString &question,
                                           QMessageBox::StandardButtons buttons);

} // namespace vandrel
