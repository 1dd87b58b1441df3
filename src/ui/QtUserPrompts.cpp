#include "ui/QtUserPrompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace znr {

namespace {

QMessageBox* newBox(QMessageBox::Icon icon, const QString& title, const QString& text,
                    QMessageBox::StandardButtons buttons) {
    auto* box = new QMessageBox(icon, title, text, buttons, QApplication::activeWindow());
    box->setAttribute(Qt::WA_DeleteOnClose);
    return box;
}

} // namespace

void QtUserPrompts::information(const QString& text, const QString& title, Icon icon) {
    newBox(icon == Icon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon, title, text,
           QMessageBox::Ok)
        ->open();
}

void QtUserPrompts::askYesNo(const QString& text, const QString& title,
                             std::function<void(bool)> answered) {
    QMessageBox* box = newBox(QMessageBox::NoIcon, title, text, QMessageBox::Yes | QMessageBox::No);
    QObject::connect(box, &QMessageBox::finished, box, [box, answered = std::move(answered)] {
        answered(box->clickedButton() == box->button(QMessageBox::Yes));
    });
    box->open();
}

void QtUserPrompts::openFile(const QString& fileName,
                             std::function<void(std::optional<QString>)> chosen) {
    auto* dialog = new QFileDialog(QApplication::activeWindow());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setOption(QFileDialog::DontConfirmOverwrite);
    dialog->selectFile(fileName);
    QObject::connect(dialog, &QFileDialog::finished, dialog,
                     [dialog, chosen = std::move(chosen)](int result) {
                         const QStringList files = dialog->selectedFiles();
                         if (result != QDialog::Accepted || files.isEmpty())
                             chosen(std::nullopt);
                         else
                             chosen(files.constFirst());
                     });
    dialog->open();
}

} // namespace znr
