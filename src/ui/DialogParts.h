#pragma once

#include <QDialog>
#include <QPushButton>

namespace znr {

// A small fixed-size dialog with only a close box, deleted when it closes.
inline void setUpFixedDialog(QDialog& dialog, const char* objectName, const char* title) {
    dialog.setObjectName(QString::fromLatin1(objectName));
    dialog.setWindowTitle(QString::fromLatin1(title));
    dialog.setAttribute(Qt::WA_DeleteOnClose);
    dialog.setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint |
                          Qt::WindowCloseButtonHint);
}

// A dialog's "OK" and "Cancel" buttons (objectNames cmdOK, cmdCancel). Enter presses OK, or,
// without `enterPressesOk`, neither button.
struct OkCancelButtons {
    QPushButton* ok;
    QPushButton* cancel;
};
inline OkCancelButtons makeOkCancel(QDialog& dialog, bool enterPressesOk = true) {
    const auto make = [&](const char* name, const char* text) {
        auto* b = new QPushButton(QString::fromLatin1(text), &dialog);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(enterPressesOk);
        return b;
    };
    OkCancelButtons buttons{make("cmdOK", "OK"), make("cmdCancel", "Cancel")};
    buttons.ok->setDefault(enterPressesOk);
    return buttons;
}

} // namespace znr
