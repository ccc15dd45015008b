// SPDX-License-Identifier: GPL-3.0-or-later
// The program's message and question boxes.
#include "platform/MessageBoxes.h"

namespace vandrel {

QMessageBox::Icon messageIcon(MessageKind kind)
{
    switch (kind) {
    case MessageKind::Warning:
        return QMessageBox::Warning;
    case MessageKind::Error:
        return QMessageBox::Critical;
    case MessageKind::Information:
        break;
    }
    return QMessageBox::Information;
}

void showMessageBox(QWidget *parent, MessageKind kind, const QString &text)
{
    QMessageBox box(messageIcon(kind), kMessageTitle, text, QMessageBox::Ok, parent);
    box.exec();
}

QMessageBox::StandardButton askQuestionBox(QWidget *parent, const QString &question,
                                           QMessageBox::StandardButtons buttons)
{
    QMessageBox box(QMessageBox::Question, kMessageTitle, question, buttons, parent);
    const int answer = box.exec();
    if (answer == QMessageBox::NoButton || !(buttons & QMessageBox::StandardButton(answer)))
        return buttons & QMessageBox::Cancel ? QMessageBox::Cancel : QMessageBox::No;
    return QMessageBox::StandardButton(answer);
}

} // namespace vandrel
