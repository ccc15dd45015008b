// SPDX-License-Identifier: GPL-3.0-or-later
// The small dialog several commands share: range dialog, two-number entry box
// and progress window. Every control starts hidden; callers show what they use.
#pragma once

#include <QDialog>

#include <functional>

class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace vandrel {

class TfrmScope : public QDialog
{
    Q_OBJECT
public:
    // What the buttons set; mrNone while nothing was pressed.
    enum ModalResult { mrNone = 0, mrOk = 1, mrCancel = 2 };

    // `downloadInProgress` (may be empty) is asked on every attempt to close:
    // while it says yes, the dialog stays open.
    explicit TfrmScope(QWidget *parent = nullptr, std::function<bool()> downloadInProgress = {});

    // Shows the dialog modally; returns the result the buttons set (mrNone
    // when it was closed some other way).
    int exec() override;
    int modalResult() const { return modalResult_; }
    void setModalResult(int r) { modalResult_ = r; }

    QGroupBox *GroupBox1;
    QRadioButton *radAll;
    QRadioButton *radNo;
    QLabel *Label1;
    QLineEdit *edtSelFrom;
    QLabel *Label2;
    QLineEdit *edtSelTo;
    QPushButton *BitBtn1;
    QPushButton *BitBtn2;
    QProgressBar *Progress1;
    QLabel *SText1;
    QLabel *SText2;
    QLabel *lblBytesReceived;
    QLabel *lblTotalBytes;

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buttonPressed(int result);
    void buildRangeBox();
    bool closeRefused() const;

    std::function<bool()> downloadInProgress_;
    int modalResult_ = mrNone;
    bool inModalLoop_ = false; // shown by showModal(), not as a progress window
};

} // namespace vandrel
