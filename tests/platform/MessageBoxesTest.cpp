// SPDX-License-Identifier: GPL-3.0-or-later
// The program's message boxes: one title, the icon of their kind, and the
// answer of a question box also when it is closed without a button.
#include "platform/MessageBoxes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTimer>

#include <gtest/gtest.h>

using namespace vandrel;

namespace {

// What the box on the screen showed, read just before it is answered.
struct Seen {
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString text;
};

// Reads the box once it is up, then presses `button` (or closes it with Escape
// when `button` is NoButton).
void answerWhenShown(Seen &seen, QMessageBox::StandardButton button)
{
    QTimer::singleShot(0, [&seen, button] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seen = {box->windowTitle(), box->icon(), box->text()};
        if (button == QMessageBox::NoButton)
            box->reject();
        else
            box->button(button)->click();
    });
}

} // namespace

TEST(MessageBoxes, EveryKindHasTheProgramsTitleAndItsOwnIcon)
{
    struct Case {
        MessageKind kind;
        QMessageBox::Icon icon;
    };
    const Case cases[] = {
        {MessageKind::Information, QMessageBox::Information},
        {MessageKind::Warning, QMessageBox::Warning},
        {MessageKind::Error, QMessageBox::Critical},
    };
    for (const Case &c : cases) {
        Seen seen;
        answerWhenShown(seen, QMessageBox::Ok);
        showMessageBox(nullptr, c.kind, QStringLiteral("No thermometer is connected !"));
        EXPECT_EQ(seen.title, "Vandrel");
        EXPECT_EQ(seen.icon, c.icon);
        EXPECT_EQ(seen.text, "No thermometer is connected !");
    }
}

TEST(MessageBoxes, QuestionsReturnThePressedButtonOrTheSafeOneWhenClosed)
{
    struct Case {
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton press;
        QMessageBox::StandardButton expected;
    };
    const auto ync = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    const auto yn = QMessageBox::Yes | QMessageBox::No;
    const Case cases[] = {
        {ync, QMessageBox::Yes, QMessageBox::Yes},
        {ync, QMessageBox::No, QMessageBox::No},
        {ync, QMessageBox::NoButton, QMessageBox::Cancel},
        {yn, QMessageBox::Yes, QMessageBox::Yes},
        {yn, QMessageBox::NoButton, QMessageBox::No},
    };
    for (const Case &c : cases) {
        Seen seen;
        answerWhenShown(seen, c.press);
        EXPECT_EQ(askQuestionBox(nullptr, QStringLiteral("Save DataLogger Data ?"), c.buttons), c.expected);
        EXPECT_EQ(seen.title, "Vandrel");
        EXPECT_EQ(seen.icon, QMessageBox::Question);
    }
}
